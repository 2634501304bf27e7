#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_FOLDED_NAME_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_FOLDED_NAME_H

// The form of a key or value name under which names the store takes for one
// are one: ASCII letters upper-cased, as its NOCASE comparison folds them.
#include <string>
#include <string_view>

namespace korvex {
namespace posix {
namespace registry {

inline std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
