#include "platform/posix/windowing/thread_messages.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include "platform/posix/windowing/window_table.h"

namespace korvex {
namespace posix {

ThreadMessages::ThreadMessages() : timerFd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}

ThreadMessages::~ThreadMessages() {
  if (timerFd >= 0) close(timerFd);
}

void ThreadMessages::ThreadEnded(ThreadContext& thread) {
  TakeWindowsOf(thread);
  timers.Clear();
  posted.clear();
  replies.clear();
  SentList unanswered;
  unanswered.swap(sent);
  for (auto& message : unanswered) {
    message->done = true;
    message->sender->Wake();
  }
}

}  // namespace posix
}  // namespace korvex
