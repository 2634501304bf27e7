#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_THREAD_MESSAGES_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_THREAD_MESSAGES_H

// The windowing room of the layer (windowing/): window classes and windows,
// each thread's message queue, sending and posting, and timers. A thread's
// queue holds what was posted to it, what other threads sent it, the replies
// to its SendMessageCallbackA calls, its timers and a pending WM_QUIT. It hangs
// on the thread's context (sync/), made on first use. Guarded by LayerLock().
#include <deque>
#include <memory>

#include "korvex/platform.h"
#include "platform/posix/sync/thread_context.h"
#include "platform/posix/windowing/timer_list.h"

namespace korvex {
namespace posix {

// A message sent across threads: the sender waits until done, or, with a
// callback, gets the result queued back once it is.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<ThreadContext> sender;
  SENDASYNCPROC callback = nullptr;
  ULONG_PTR callbackData = 0;
  LRESULT result = 0;
  bool started = false;
  bool done = false;
};

using SentList = std::deque<std::shared_ptr<SentMessage>>;

class ThreadMessages : public ThreadAttachment {
public:
  ThreadMessages();
  ~ThreadMessages() override;
  ThreadMessages(const ThreadMessages&) = delete;
  ThreadMessages& operator=(const ThreadMessages&) = delete;

  // Its windows go away, threads waiting for it to handle a sent message get 0.
  void ThreadEnded(ThreadContext& thread) override;

  const int timerFd;  // timerfd, armed for the earliest timer while GetMessageA sleeps
  std::deque<MSG> posted;
  SentList sent;
  SentList replies;  // handled, for their callbacks
  TimerList timers;
  bool quitPending = false;
  int quitCode = 0;
  // QS_ bits of what arrived since the thread last looked at its queue.
  DWORD newInput = 0;
  int64_t lookedNs = 0;  // when it last looked, for timers that fell due since
};

// The thread's queue, made on first use. Needs the lock.
inline ThreadMessages& MessagesOf(ThreadContext& thread) {
  if (!thread.messages) thread.messages = std::make_unique<ThreadMessages>();
  return static_cast<ThreadMessages&>(*thread.messages);
}

}  // namespace posix
}  // namespace korvex

#endif
