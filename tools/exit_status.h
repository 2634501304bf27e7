#ifndef KORVEX_TOOLS_EXIT_STATUS_H
#define KORVEX_TOOLS_EXIT_STATUS_H

// The exit statuses of the tool, one table: the shared ones (ExitStatus in
// tool_error.h) and those a command adds, declared beside the command. The
// command's --help and the man page's EXIT STATUS are written from it.
#include <string>

namespace CLI {
class App;
}

namespace korvex_tool {

// `command` may also exit with `status`, for the reason `meaning`.
void AddExitStatus(CLI::App* command, int status, const char* meaning);

// The man page's EXIT STATUS section, in roff: every status, with the
// commands that return the ones not shared.
std::string ExitStatusManSection();

}  // namespace korvex_tool

#endif
