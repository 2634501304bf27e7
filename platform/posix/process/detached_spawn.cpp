#include "platform/posix/process/detached_spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdint.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// The program's process is made with clone(CLONE_VM | CLONE_VFORK), as
// posix_spawn makes one: it runs on a stack of its own in the caller's memory
// while the calling thread waits, which costs no copy of the caller's memory.
// It writes only to the launch record and its own stack, and calls only system
// calls: other threads of the caller keep running in the same memory.
//
// A process in between would hand the program to init at once, but a second
// new process on the way to the program's main costs a second turn of the
// scheduler. Instead one thread per process reaps the programs started here
// when they end.
namespace korvex {
namespace posix {
namespace process {

namespace {

const size_t kStackSize = 64 * 1024;

struct Launch {
  const char* path;
  char* const* argv;
  char* const* envp;
  const char* directory;
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
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &byDefault, nullptr);
  // A process group, not a session: a session of its own would also give it a
  // scheduling group of its own, which on a busy machine costs more than the
  // rest of the start together.
  setpgid(0, 0);
  MoveStandardStreamsToNull();
  CloseOtherDescriptors();
  if (launch->directory && chdir(launch->directory) != 0) {
    launch->error = errno;
    _exit(127);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execve(launch->path, launch->argv, launch->envp);
  launch->error = errno;
  _exit(127);
}

void Reap(pid_t pid) {
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool StartThread(void* (*run)(void*), void* arg) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attributes, kStackSize);
  // No signal of the caller's is handled on this thread.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pthread_t thread;
  bool started = pthread_create(&thread, &attributes, run, arg) == 0;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  pthread_attr_destroy(&attributes);
  return started;
}

void* ReapOne(void* pid) {
  Reap(static_cast<pid_t>(reinterpret_cast<intptr_t>(pid)));
  return nullptr;
}

// Waits for every program started here: each one's pidfd goes into the epoll
// set, added by the starting thread itself, so a start wakes nothing.
class Reaper {
public:
  // One per process; a fork makes its own on its first start.
  static Reaper& OfThisProcess() {
    static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    static Reaper* reaper = nullptr;
    static pid_t owner = 0;
    pthread_mutex_lock(&lock);
    if (owner != getpid()) {
      reaper = new Reaper();  // lives as long as the process
      owner = getpid();
    }
    pthread_mutex_unlock(&lock);
    return *reaper;
  }

  // False when the program cannot be watched here.
  bool Watch(pid_t pid) {
    if (epoll_ < 0) return false;
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) return false;
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = pidfd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, pidfd, &event) == 0) return true;
    close(pidfd);
    return false;
  }

private:
  Reaper() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    if (epoll_ >= 0 && !StartThread(Run, this)) {
      close(epoll_);
      epoll_ = -1;
    }
  }

  static void* Run(void* self) {
    int epoll = static_cast<Reaper*>(self)->epoll_;
    epoll_event events[16];
    for (;;) {
      int n = epoll_wait(epoll, events, 16, -1);
      for (int i = 0; i < n; ++i) {
        // A wait of the caller's may have reaped it first; the pidfd is done either way.
        siginfo_t info;
        int pidfd = events[i].data.fd;
        waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), &info, WEXITED);
        // Out of the set before the close: a fork of the caller's may hold a
        // copy of the pidfd, which would keep it there, ready, under a number
        // the caller reuses.
        epoll_ctl(epoll, EPOLL_CTL_DEL, pidfd, nullptr);
        close(pidfd);
      }
    }
    return nullptr;
  }

  int epoll_;
};

void ReapLater(pid_t pid) {
  if (!Reaper::OfThisProcess().Watch(pid)) StartThread(ReapOne, reinterpret_cast<void*>(static_cast<intptr_t>(pid)));
}

}  // namespace

bool SpawnDetached(const char* path, char* const argv[], const char* directory) {
  void* stack = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) return false;  // errno set by mmap
  Launch launch = {path, argv, environ, directory, 0};

  // No handler may run in the new process before it resets them.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pid_t pid = clone(Program, static_cast<char*>(stack) + kStackSize, CLONE_VM | CLONE_VFORK | SIGCHLD, &launch);
  int error = pid < 0 ? errno : launch.error;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  munmap(stack, kStackSize);

  // A failed start has already ended.
  if (pid > 0) error ? Reap(pid) : ReapLater(pid);
  if (error) errno = error;  // the calls since may have changed it
  return error == 0;
}

}  // namespace process
}  // namespace posix
}  // namespace korvex
