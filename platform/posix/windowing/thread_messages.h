#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_THREAD_MESSAGES_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_THREAD_MESSAGES_H

// The windowing room of the layer (windowing/): window classes and windows,
// each thread's message queue, sending and posting, and timers. A thread's
// queue holds what was posted to it, what other threads sent it and wait for,
// its timers and a pending WM_QUIT. Guarded by LayerLock().
#include <deque>
#include <memory>

#include "korvex/platform.h"
#include "platform/posix/windowing/timer_list.h"

namespace korvex {
namespace posix {

class ThreadContext;

// A message sent across threads; the sender waits until done.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool started = false;
  bool done = false;
  std::shared_ptr<ThreadContext> sender;
};

class ThreadMessages {
public:
  ThreadMessages();
  ~ThreadMessages();
  ThreadMessages(const ThreadMessages&) = delete;
  ThreadMessages& operator=(const ThreadMessages&) = delete;

  const int timerFd;  // timerfd, armed for the earliest timer while GetMessageA sleeps
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  TimerList timers;
  bool quitPending = false;
  int quitCode = 0;
};

}  // namespace posix
}  // namespace korvex

#endif
