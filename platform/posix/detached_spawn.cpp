#include "platform/posix/detached_spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Two processes are made with clone(CLONE_VM | CLONE_VFORK), as posix_spawn
// makes one: they run on stacks of their own in the caller's memory while the
// calling thread waits, which costs no copy of the caller's memory. The first
// starts a session and the second, the program, then ends at once; the program
// is left to init, so no zombie is left in the caller. Both write only to the
// launch record and their own stacks, and call only system calls: other
// threads of the caller keep running in the same memory.
namespace korvex {
namespace posix {

namespace {

const size_t kStackSize = 64 * 1024;

struct Launch {
  const char* path;
  char* const* argv;
  char* const* envp;
  const char* directory;
  char* programStack;
  int error;
};

void MoveStandardStreamsToNull() {
  int null = open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2; ++fd) null >= 0 ? dup2(null, fd) : close(fd);
  if (null > 2) close(null);
}

void CloseOtherDescriptors() {
  if (close_range(3, ~0u, 0) == 0) return;
  for (int fd = 3; fd < 65536; ++fd) close(fd);
}

__attribute__((no_sanitize("address", "undefined"))) int Program(void* arg) {
  Launch* launch = static_cast<Launch*>(arg);
  // A handler of the caller must not run in here; exec would reset it anyway.
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &byDefault, NULL);
  MoveStandardStreamsToNull();
  CloseOtherDescriptors();
  if (launch->directory && chdir(launch->directory) != 0) {
    launch->error = errno;
    _exit(127);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, NULL);
  execve(launch->path, launch->argv, launch->envp);
  launch->error = errno;
  _exit(127);
}

__attribute__((no_sanitize("address", "undefined"))) int SessionLeader(void* arg) {
  Launch* launch = static_cast<Launch*>(arg);
  setsid();
  if (clone(Program, launch->programStack, CLONE_VM | CLONE_VFORK | SIGCHLD, launch) < 0) launch->error = errno;
  _exit(0);
}

}  // namespace

int SpawnDetached(const char* path, char* const argv[], const char* directory) {
  void* stacks = mmap(NULL, 2 * kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stacks == MAP_FAILED) return ENOMEM;
  char* base = static_cast<char*>(stacks);
  Launch launch = {path, argv, environ, directory, base + 2 * kStackSize, 0};

  // No handler may run in the new processes before they reset them.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pid_t leader = clone(SessionLeader, base + kStackSize, CLONE_VM | CLONE_VFORK | SIGCHLD, &launch);
  int error = leader < 0 ? errno : launch.error;
  pthread_sigmask(SIG_SETMASK, &old, NULL);

  // The session leader has already ended; this only reaps it.
  if (leader > 0)
    while (waitpid(leader, NULL, 0) < 0 && errno == EINTR) {
    }
  munmap(stacks, 2 * kStackSize);
  return error;
}

}  // namespace posix
}  // namespace korvex
