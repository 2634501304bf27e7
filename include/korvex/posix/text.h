#ifndef KORVEX_POSIX_TEXT_H
#define KORVEX_POSIX_TEXT_H

#include <stdarg.h>

/// @file
/// String resources, code pages, the lstr and multibyte text calls.
#include "korvex/posix/base.h"

/// @defgroup layer_text Text
/// @ingroup layer
/// String resources, code pages, and the runtime's text calls.
///
/// @windiff CP_ACP is the character set of the process locale
/// (nl_langinfo(CODESET)), converted with iconv, not a Windows code page;
/// characters it lacks become "?".
/// @{

extern "C" {

/// Enters a string resource.
/// @windiff POSIX has no resource sections. A product
/// enters its texts with KorvexSetStringResource before it formats with their
/// numbers (csFmt(id, ...), CString(MAKEINTRESOURCEA(id))). A NULL text
/// removes the entry. The table is process-wide and locked.
KORVEX_API BOOL KorvexSetStringResource(UINT id, LPCSTR text);
/// The string resource of that number, from KorvexSetStringResource's table;
/// the module handle is ignored.
KORVEX_API int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

/// @name Multibyte functions
/// @{

/// Runtime multibyte functions.
/// @windiff The locale's character sets here
/// have no double-byte lead bytes, so these work byte by byte.
KORVEX_API int _mbscmp(const unsigned char* a, const unsigned char* b);
KORVEX_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
KORVEX_API int _ismbcspace(unsigned int c);
/// @}

/// @name Code pages and conversion flags
/// @{

/// As in Win32.
#define CP_ACP 0
#define CP_UTF8 65001
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
/// @}

/// UTF-16 to CP_ACP or CP_UTF8. CP_ACP is the character set of the thread's
/// locale (nl_langinfo(CODESET)); characters it lacks, and lone surrogates,
/// become the default character ("?" unless one is given).
/// @windiff With WC_COMPOSITECHECK a letter followed by
/// combining marks becomes the precomposed character where the set holds one
/// (Latin, Greek, Cyrillic and Arabic letters); otherwise each character is
/// converted on its own.
KORVEX_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int wideCount, LPSTR multiByteText,
                                   int multiByteSize, LPCSTR defaultChar, LPBOOL usedDefaultChar);

/// @name lstr functions
/// @{

/// NULL counts as the empty text for lstrlenA and sorts before any text in
/// the comparisons. lstrcmpiA folds case by tolower of LC_CTYPE first.
/// @windiff lstrcmpA, lstrcmpiA collate by the locale (strcoll, LC_COLLATE):
/// in the "C" locale that is byte order, not the word sort of Win32.
KORVEX_API int lstrlenA(LPCSTR text);
KORVEX_API int lstrcmpA(LPCSTR a, LPCSTR b);
KORVEX_API int lstrcmpiA(LPCSTR a, LPCSTR b);
/// @}

/// @name wsprintfA
/// @{

/// Formats into the caller's buffer, at most 1024 bytes with the terminator, as
/// Win32 does; returns the characters stored.
/// @windiff wsprintfA, wvsprintfA accept every printf conversion, also those
/// Win32 lacks.
KORVEX_API int wsprintfA(LPSTR buffer, LPCSTR format, ...);
KORVEX_API int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
/// @}
}

/// @}

#endif
