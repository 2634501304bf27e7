#ifndef KORVEX_TESTS_TOOL_RUN_TOOL_H
#define KORVEX_TESTS_TOOL_RUN_TOOL_H

// Runs the korvex tool as a process, in the test program's scratch registry
// and configuration folder (tests/support), and collects what it says.
#include <sys/types.h>

#include <string>
#include <vector>

struct ToolRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

ToolRun RunTool(const std::vector<std::string>& args, const std::string& input = "");

// Starts the tool without waiting for it; gives the reading end of a pipe
// that carries its standard output and error.
int StartTool(const std::vector<std::string>& args, pid_t* pid);

// A file in the program's scratch folder.
std::string ScratchFile(const std::string& name);

#endif
