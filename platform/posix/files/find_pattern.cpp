#include "platform/posix/files/find_pattern.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace korvex {
namespace posix {
namespace files {

bool HasWildcards(const std::string& pattern) { return pattern.find_first_of("*?") != std::string::npos; }

bool MatchesFindPattern(const std::string& pattern, const char* name) {
  // Which name positions the pattern can stand at, one pattern character at a
  // time: linear in both lengths per step, no backtracking.
  size_t n = strlen(name);
  std::vector<char> at(n + 1, 0), next(n + 1, 0);
  at[0] = 1;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char p = pattern[i];
    bool wildcardFollows = i + 1 < pattern.size() && (pattern[i + 1] == '*' || pattern[i + 1] == '?');
    std::fill(next.begin(), next.end(), 0);
    bool any = false;
    for (size_t j = 0; j <= n; ++j) {
      if (p == '*') any = any || at[j];
      if (!at[j] && !(p == '*' && any)) continue;
      if (p == '*') {
        next[j] = 1;
      } else if (p == '?') {
        if (j == n || name[j] == '.')
          next[j] = 1;
        else
          next[j + 1] = 1;
      } else if (j < n && name[j] == p) {
        next[j + 1] = 1;
      } else if (p == '.' && j == n && wildcardFollows) {
        next[j] = 1;
      }
    }
    at.swap(next);
  }
  return at[n] != 0;
}

}  // namespace files
}  // namespace posix
}  // namespace korvex
