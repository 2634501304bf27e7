#ifndef KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H
#define KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H

// Work in another process, on Linux: a forked child running a function, as
// this user or as another.
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

// Waits for the child: its exit code, or -1 when it was killed or still ran
// after a minute (then it is killed).
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
