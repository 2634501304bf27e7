#include "tests/support/child_process.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

bool BecomeNobody(gid_t group) {
  return geteuid() == 0 && setgroups(1, &group) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

void BecomeUnprivileged() {
  if (geteuid() == 0 && !BecomeNobody()) _exit(90);
}

int ChildExitCode(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
