#ifndef KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H
#define KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H

// Changes "from another process": the test program runs one of its own tests
// again in a child process. Child tests are named DISABLED_..., so that only
// such a run executes them, and read what to do from ChildArgument().
#include <string>

// Runs suite.test of this program in a child process with the argument;
// its exit code, or -1 when it could not be started or did not end in time.
// The child inherits the environment, so it sees the scratch registry.
int RunInChild(const std::string& test, const std::string& argument);

// The argument given to this process by RunInChild; empty in a parent.
std::string ChildArgument();

#endif
