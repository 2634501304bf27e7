#ifndef KORVEX_TEXT_ATOI_H
#define KORVEX_TEXT_ATOI_H

#include <stddef.h>
#include <stdint.h>

namespace korvex {

// The runtime's atoi over at most `length` bytes, the same on every target:
// white space, an optional sign, then decimal digits up to the first other
// byte; no digits give 0. The value wraps modulo 2^32 instead of clamping.
inline uint32_t AtoiOf(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + uint32_t(text[i] - '0');
  return negative ? 0u - value : value;
}

}  // namespace korvex

#endif
