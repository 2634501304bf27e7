#ifndef KORVEX_URL_URL_ESCAPE_H
#define KORVEX_URL_URL_ESCAPE_H

#include <stddef.h>

#include "korvex/types.h"

namespace korvex {

// Sets `text` to the `length` bytes at `source`, decoded: "+" becomes a space
// and "%" with two hexadecimal digits the byte they give (a zero byte
// included); everything else stays. One pass: "%2B" gives "+".
void UrlDecode(CString& text, const char* source, size_t length);

// Space becomes "+", and "%", "&", "/", ":", "?", "@" become "%XX" (upper-case
// hexadecimal); every other byte stays.
void UrlEncode(CString& text);

}  // namespace korvex

#endif
