#ifndef KORVEX_PLATFORM_POSIX_TEXT_NAME_ORDER_H
#define KORVEX_PLATFORM_POSIX_TEXT_NAME_ORDER_H

// Key and value names compare as Windows compares them: character by
// character, by each one's simple uppercase mapping, in every script. A name
// that is not UTF-8 compares as older versions compared every name, by its
// bytes with ASCII letters folded; its other bytes rank above every character,
// so it never equals a UTF-8 name (Latin-1 "\xC9" is not "É"). Names keep their
// case as written; only comparisons fold it.
#include <string>
#include <string_view>

namespace korvex {
namespace posix {
namespace text {

// Below, at or above zero as `a` sorts before, with or after `b`.
int CompareNames(std::string_view a, std::string_view b);

// The folded form of a name: equal for names that compare equal, and ordered
// (as bytes) as they are.
std::string FoldedName(std::string_view name);

}  // namespace text
}  // namespace posix
}  // namespace korvex

#endif
