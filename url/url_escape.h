#ifndef KORVEX_URL_URL_ESCAPE_H
#define KORVEX_URL_URL_ESCAPE_H

#include "korvex/types.h"

namespace korvex {

// "+" becomes a space and "%" with two hexadecimal digits the byte they give
// (a zero byte included); everything else stays. One pass: "%2B" gives "+".
void UrlDecode(CString& text);

// Space becomes "+", and "%", "&", "/", ":", "?", "@" become "%XX" (upper-case
// hexadecimal); every other byte stays.
void UrlEncode(CString& text);

}  // namespace korvex

#endif
