#ifndef KORVEX_PLATFORM_POSIX_PROFILE_DIGITS_H
#define KORVEX_PLATFORM_POSIX_PROFILE_DIGITS_H

namespace korvex {
namespace posix {
namespace profile {

// The value of a decimal or hexadecimal digit (either case), or 16 for any
// other byte: a digit of a base is one whose value is below the base.
inline unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  char lower = static_cast<char>(c | 0x20);
  return lower >= 'a' && lower <= 'f' ? static_cast<unsigned>(lower - 'a' + 10) : 16;
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
