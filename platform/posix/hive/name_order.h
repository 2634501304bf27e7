#ifndef KORVEX_PLATFORM_POSIX_HIVE_NAME_ORDER_H
#define KORVEX_PLATFORM_POSIX_HIVE_NAME_ORDER_H

// How the hive compares key and value names, as its collation (schema.h) does:
// ASCII letters without their case, every other byte as it is.
#include <string>
#include <string_view>

namespace korvex {
namespace posix {
namespace hive {

// The folded form of a name: equal for names that compare equal.
inline std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
