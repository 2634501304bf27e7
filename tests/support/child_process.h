#ifndef KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H
#define KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H

// Work "from another process": the test program runs one of its own tests, named
// DISABLED_... so that only such a run executes it, in a child that reads what to
// do from ChildArgument(). On Linux a test may also fork a child running a function.
#include <string>

// Runs suite.test of this program in a child, which inherits the environment (so
// the scratch registry); its exit code, or -1 when it did not start or end in time.
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

// Another user, for tests of what one user may do to another's files.
constexpr uid_t kNobody = 65534;
// Makes this (child) process nobody, with `group` as its one supplementary
// group; false when it may not (it is not root).
bool BecomeNobody(gid_t group = kNobody);
// Root ignores permissions: a child run as root becomes nobody (and exits with
// 90 when it cannot); anyone else stays who they are.
void BecomeUnprivileged();

template <typename Body>
int RunInChild(Body body) {
  return ChildExitCode(StartChild(body));
}
#endif

#endif
