#ifndef KORVEX_PLATFORM_POSIX_FILES_FIND_PATTERN_H
#define KORVEX_PLATFORM_POSIX_FILES_FIND_PATTERN_H

#include <string>

namespace korvex {
namespace posix {
namespace files {

bool HasWildcards(const std::string& pattern);

// Win32 name matching: "*" any run of characters; "?" one character other than
// a dot, or nothing at a dot or at the end of the name; "." a dot, or the end
// of the name when a wildcard follows it. Case-sensitive.
bool MatchesFindPattern(const std::string& pattern, const char* name);

}  // namespace files
}  // namespace posix
}  // namespace korvex

#endif
