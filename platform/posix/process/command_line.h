#ifndef KORVEX_PLATFORM_POSIX_PROCESS_COMMAND_LINE_H
#define KORVEX_PLATFORM_POSIX_PROCESS_COMMAND_LINE_H

#include <string>
#include <vector>

namespace korvex {
namespace posix {
namespace process {

// Splits a Windows command-line tail into arguments as the C runtime of a
// started Windows program does: spaces and tabs separate outside quotes; a
// quote toggles quoting and is dropped; inside quotes, two quotes give one;
// 2n backslashes before a quote give n, 2n+1 give n and a literal quote;
// backslashes before anything else stay as they are.
std::vector<std::string> SplitCommandLine(const char* text);

}  // namespace process
}  // namespace posix
}  // namespace korvex

#endif
