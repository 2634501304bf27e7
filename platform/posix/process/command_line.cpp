#include "platform/posix/process/command_line.h"

namespace korvex {
namespace posix {
namespace process {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one argument from `p` (at its first character) and returns where the
// next one may start.
const char* ReadArgument(const char* p, std::string& arg) {
  bool quoted = false;
  for (;;) {
    size_t slashes = 0;
    while (*p == '\\') {
      ++slashes;
      ++p;
    }
    if (*p == '"') {
      arg.append(slashes / 2, '\\');
      if (slashes % 2 == 1) {
        arg += '"';
      } else if (quoted && p[1] == '"') {
        arg += '"';
        ++p;
      } else {
        quoted = !quoted;
      }
      ++p;
      continue;
    }
    arg.append(slashes, '\\');
    if (*p == '\0' || (!quoted && IsBlank(*p))) return p;
    arg += *p++;
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* text) {
  std::vector<std::string> args;
  const char* p = text ? text : "";
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') return args;
    args.emplace_back();
    p = ReadArgument(p, args.back());
  }
}

}  // namespace process
}  // namespace posix
}  // namespace korvex
