#ifndef KORVEX_POSIX_PROFILE_H
#define KORVEX_POSIX_PROFILE_H

/// @file
/// Profile (INI) files.
#include "korvex/posix/base.h"

/// @defgroup layer_profile Profile files
/// @ingroup layer
/// The GetPrivateProfile* and WritePrivateProfile* calls.
///
/// @windiff A file name without a folder is looked up in the
/// folder that stands in for the Windows folder: `$XDG_CONFIG_HOME/korvex/`
/// (default `~/.config/korvex/`), created on the first write, readable by its
/// owner alone. Backslashes in names are path separators.
///
/// @windiff There is no win.ini. With a NULL file name reads
/// give their defaults and set ERROR_FILE_NOT_FOUND, as for a missing file,
/// and writes fail with ERROR_FILE_NOT_FOUND. An empty file name reads the
/// same way and fails writes with ERROR_ACCESS_DENIED.
///
/// The file is text: "[section]" lines, "key=value" lines, lines starting with ';'
/// kept as comments. Lines end at CR, LF or CR LF; written files end lines with
/// CR LF. A zero byte ends the text of its line, and zero bytes at the end of the
/// file are no line. Sections and keys compare case-insensitively;
/// spaces around names and values are ignored, and a value enclosed in a
/// matching pair of quotes (" or ') reads without them. When a section or a
/// key appears twice, the first one counts.
///
/// @windiff Section and key names compare case-insensitively by ASCII
/// letters alone.
///
/// @windiff Profile files are bounded, so that a corrupt or hostile file
/// cannot take the process's memory: reads take the first 4 MiB of a file and
/// the first 64 KiB of a line. Of a longer file only the whole lines before
/// the cut are read: a key found there reads as usual, and an answer that what
/// lies past the cut could change (a missing key or section, a list) sets
/// ERROR_FILE_TOO_LARGE. Writes to a file that is cut, or that would make the
/// file longer than 4 MiB or a line longer than 64 KiB, fail with
/// ERROR_FILE_TOO_LARGE and leave the file as it was.
///
/// @windiff Anything but a plain file (a FIFO, a device, a
/// folder) is refused by reads and writes alike, without blocking, with
/// ERROR_ACCESS_DENIED.
///
/// Every write rereads the file and replaces it whole (a temporary file beside it,
/// then rename) while holding an advisory lock on `<file>.lock`, so readers see
/// either the old or the new file and writers from several processes lose nothing.
/// The lock file is open only to the users who may write the file (its owner
/// always), so that no one else can hold it; whoever may change it keeps it so
/// as the file's owner, group and mode change. A writer waits for another's lock
/// about ten seconds at most, then fails with ERROR_SHARING_VIOLATION, as Windows
/// fails a write to a file that another process holds.
/// A write is refused with ERROR_ACCESS_DENIED where writing the file itself
/// would be: a file whose owner may not write it (the read-only attribute of
/// GetFileAttributesA) even to root, as Windows refuses it to administrators, and
/// a file the caller may not write even where the folder would let the caller
/// replace it. A file that exists but cannot be read whole is not written: the
/// write fails and the file stays as it was. The new file keeps the old one's
/// mode, and its owner and group where the writer may give them.
///
/// @windiff Symbolic links in the name are followed, and the
/// file they lead to is locked and replaced; a link in a sticky folder that
/// everyone may write to, at the name or at any folder of the path, is
/// followed only when it belongs to the writer or to the folder's owner
/// (ERROR_ACCESS_DENIED otherwise). A write also removes temporary files of
/// the same profile (`<file>.korvex-<8 lower-case letters or digits>.tmp`)
/// that a killed writer left behind: the writer's own, older than a minute.
///
/// Reads keep the parsed file in memory, so reading many values costs one parse,
/// and a write keeps the text it wrote. A read always sees a write that completed
/// before it, by this process or another. In a folder on a local file system
/// reached without links, the folder is watched (inotify) and a file is read
/// again once an event names it; a folder above it that is renamed or replaced
/// is not noticed. Elsewhere each read compares the file's device, inode, size
/// and modification time, and a file changed less than the file system's
/// timestamp step before it was read is read again each time.
/// @{

extern "C" {

/// The key's value as a number (its leading decimal digits), else the default.
KORVEX_API UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName);
/// The key's text, else the default, into the buffer.
/// A NULL section lists the section names, a NULL key the section's key names
/// (or gives the default when the section is missing).
KORVEX_API DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                          DWORD nSize, LPCSTR lpFileName);
/// Sets the key's text, adding the section and the key as needed.
/// A NULL key deletes the section, a NULL value deletes the key. A NULL section
/// fails with ERROR_FILE_NOT_FOUND.
KORVEX_API BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);

/// The section's lines as "key=value" texts (names and values trimmed, quotes
/// kept) and lines without '=' as they stand; comments and blank lines left out.
KORVEX_API DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
/// A buffer of exactly the list's size is too small (size - 2, as Win32); a file
/// without sections gives a single zero byte.
KORVEX_API DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName);
/// Replaces the section's lines (comments in it included) by the "key=value"
/// texts of the list; a text without '=' is left out. A NULL list deletes the
/// section.
KORVEX_API BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName);

/// A value of another length than asked for (GetPrivateProfileStructA).
#define ERROR_BAD_LENGTH 24L
/// Reads binary data written by WritePrivateProfileStructA:
/// stored as two hexadecimal digits per byte followed by a checksum byte
/// (the low byte of the sum). A read fails when the text is not exactly that for
/// uSizeStruct bytes; the buffer is then left as it was, and the last error is
/// ERROR_BAD_LENGTH for a missing value or one of another length,
/// ERROR_INVALID_DATA for a character that is no hexadecimal digit or a wrong sum.
KORVEX_API BOOL GetPrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct, UINT uSizeStruct,
                                         LPCSTR szFile);
/// Writes binary data in that form. A NULL key deletes the section, NULL data the key.
KORVEX_API BOOL WritePrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct, UINT uSizeStruct,
                                           LPCSTR szFile);
}

/// @}

#endif
