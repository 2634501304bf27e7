#ifndef KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H
#define KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H

// Work "from another process". On both targets the test program runs one of
// its own tests again in a child process: child tests are named DISABLED_...,
// so that only such a run executes them, and read what to do from
// ChildArgument(). On Linux a test may also fork a child that runs a function.
#include <string>

// Runs suite.test of this program in a child process with the argument;
// its exit code, or -1 when it could not be started or did not end in time.
// The child inherits the environment, so it sees the scratch registry.
int RunInChild(const std::string& test, const std::string& argument);

// The argument given to this process by RunInChild; empty in a parent.
std::string ChildArgument();

#ifndef _WIN32
#include <sys/types.h>
#include <unistd.h>

// Forks a child that exits with body()'s result.
template <typename Body>
pid_t StartChild(Body body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  return child;
}

// Waits for the child: its exit code, or -1 when it was killed.
int ChildExitCode(pid_t child);

template <typename Body>
int RunInChild(Body body) {
  return ChildExitCode(StartChild(body));
}
#endif

#endif
