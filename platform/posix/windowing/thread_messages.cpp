#include "platform/posix/windowing/thread_messages.h"

#include <sys/timerfd.h>
#include <unistd.h>

namespace korvex {
namespace posix {

ThreadMessages::ThreadMessages() : timerFd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}

ThreadMessages::~ThreadMessages() {
  if (timerFd >= 0) close(timerFd);
}

}  // namespace posix
}  // namespace korvex
