#ifndef KORVEX_TOOLS_TOOL_ERROR_H
#define KORVEX_TOOLS_TOOL_ERROR_H

#include <stdexcept>
#include <string>

namespace korvex_tool {

// Exit statuses shared by every command.
enum ExitStatus {
  kExitOk = 0,
  kExitFailed = 1,  // the command could not do its work
  kExitUsage = 2,   // the command line is malformed
};

// A command's refusal: one line for standard error and the process's exit
// status. Thrown only inside the tool; main turns it into the message.
class ToolError : public std::runtime_error {
public:
  explicit ToolError(const std::string& message, int status = kExitFailed)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

private:
  int status_;
};

}  // namespace korvex_tool

#endif
