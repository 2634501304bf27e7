#ifndef KORVEX_POSIX_TEXT_H
#define KORVEX_POSIX_TEXT_H

#include "korvex/posix/base.h"

extern "C" {

// String resources. POSIX has no resource sections: a product enters its texts
// with KorvexSetStringResource before it formats with their numbers
// (csFmt(id, ...), CString(MAKEINTRESOURCEA(id))). A NULL text removes the entry.
// The table is process-wide and locked.
KORVEX_API BOOL KorvexSetStringResource(UINT id, LPCSTR text);
// The module handle is ignored: the table is the process's.
KORVEX_API int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// Runtime multibyte functions. The locale's character sets here have no
// double-byte lead bytes, so these work byte by byte.
KORVEX_API int _mbscmp(const unsigned char* a, const unsigned char* b);
KORVEX_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
KORVEX_API int _ismbcspace(unsigned int c);

}

#endif
