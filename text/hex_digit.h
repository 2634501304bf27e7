#ifndef KORVEX_TEXT_HEX_DIGIT_H
#define KORVEX_TEXT_HEX_DIGIT_H

namespace korvex {

// The value of a hexadecimal digit of either case; -1 for any other byte.
// Shared with the korvex tool, which reads hexadecimal in .reg files.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace korvex

#endif
