#ifndef KORVEX_TEXT_ATOI_H
#define KORVEX_TEXT_ATOI_H

#include <stddef.h>
#include <stdint.h>

namespace korvex {

// The runtime's atoi over at most `length` bytes, the same on every target:
// white space, an optional sign, then decimal digits up to the first other
// byte; no digits give 0. The value wraps modulo 2^32 instead of clamping.
// With hexAfter0x, "0x" (lower case only) after the sign starts hexadecimal
// digits instead, as profile integers are read.
inline uint32_t AtoiOf(const char* text, size_t length, bool hexAfter0x = false) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t base = 10;
  if (hexAfter0x && i + 1 < length && text[i] == '0' && text[i + 1] == 'x') {
    base = 16;
    i += 2;
  }
  uint32_t value = 0;
  for (; i < length; ++i) {
    char c = text[i];
    uint32_t digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

}  // namespace korvex

#endif
