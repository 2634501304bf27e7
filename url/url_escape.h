#ifndef KORVEX_URL_URL_ESCAPE_H
#define KORVEX_URL_URL_ESCAPE_H

#include <stddef.h>

#include "korvex/types.h"

namespace korvex {

// Sets `text` to the `length` bytes (at most INT_MAX) at `source`, decoded: "+" becomes a space
// and "%" with two hexadecimal digits the byte they give (a zero byte
// included); everything else stays. One pass: "%2B" gives "+".
void UrlDecode(CString& text, const char* source, size_t length);

// The encoding: space becomes "+", and "%", "&", "/", ":", "?", "@" become
// "%XX" (upper-case hexadecimal); every other byte stays. Measured first, so
// the caller can size its text, and refuse one no string can hold.
size_t UrlEncodedLength(const char* text, size_t length);
// Writes the encoding of `length` bytes at `out`; returns the end of what it wrote.
char* UrlEncodeInto(char* out, const char* text, size_t length);

}  // namespace korvex

#endif
