#include "tests/support/child_process.h"

#include <grp.h>
#include <signal.h>
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
  pid_t ended = 0;
  for (int tenth = 0; tenth < 600 && (ended = waitpid(child, &status, WNOHANG)) == 0; ++tenth) usleep(100000);
  if (ended == 0) {  // a child that hangs fails its test
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  if (ended != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
