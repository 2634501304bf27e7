#ifndef KORVEX_POSIX_PROFILE_H
#define KORVEX_POSIX_PROFILE_H

// Profile (INI) files. A file name without a folder is looked up in the folder
// that stands in for the Windows folder: $XDG_CONFIG_HOME/korvex/ (default
// ~/.config/korvex/), created on the first write. Backslashes in names are
// path separators.
//
// The file is text: "[section]" lines, "key=value" lines, lines starting with ';'
// kept as comments. Sections and keys compare case-insensitively (ASCII); spaces
// around names and values are ignored, and a value enclosed in a matching pair
// of quotes (" or ') reads without them. Written files end lines with CR LF.
//
// Every write rereads the file and replaces it whole (a temporary file beside it,
// then rename) while holding an advisory lock on "<file>.lock", so readers see
// either the old or the new file and writers from several processes lose nothing.
#include "korvex/posix/base.h"

extern "C" {

KORVEX_API UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName);
KORVEX_API DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                          LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
// A NULL key deletes the section, a NULL value deletes the key.
KORVEX_API BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);

}

#endif
