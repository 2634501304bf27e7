#include "platform/posix/windowing/message_queue.h"

#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(LONG_PTR(-1));

bool TakePosted(ThreadMessages& queue, const MessageFilter& filter, bool remove, MSG* msg) {
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!filter.Admits(it->hwnd, it->message)) continue;
    *msg = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  return false;
}

// WM_QUIT passes every filter: a loop for one window still ends.
bool TakeQuit(ThreadMessages& queue, bool remove, MSG* msg) {
  if (!queue.quitPending) return false;
  *msg = MSG{nullptr, WM_QUIT, WPARAM(queue.quitCode), 0, TickCount(), {0, 0}};
  if (remove) queue.quitPending = false;
  return true;
}

// Win32's order: sent messages, posted ones, the quit request, timers. What
// is in the queue now is no longer new to MsgWaitForMultipleObjectsEx.
bool TakeMessage(std::unique_lock<std::mutex>& lock, ThreadContext& thread, const MessageFilter& filter, bool remove,
                 MSG* msg) {
  ThreadMessages& queue = MessagesOf(thread);
  queue.newInput = 0;
  queue.lookedNs = MonotonicNs();
  DeliverSentMessages(lock, thread);
  return TakePosted(queue, filter, remove, msg) || TakeQuit(queue, remove, msg) ||
         TakeDueTimer(queue, filter, remove, msg);
}

bool FilterWindowExists(HWND window) { return !window || window == kThreadMessagesOnly || FindWindow(window); }

BOOL Post(ThreadContext& thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadMessages& queue = MessagesOf(thread);
  queue.posted.push_back(MSG{window, message, wParam, lParam, TickCount(), {0, 0}});
  queue.newInput |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  thread.Wake();
  return TRUE;
}

}  // namespace

namespace korvex {
namespace posix {

bool MessageFilter::Admits(HWND target, UINT message) const {
  if (window == kThreadMessagesOnly ? target != nullptr : window && target != window) return false;
  return (first == 0 && last == 0) || (message >= first && message <= last);
}

DWORD TickCount() { return DWORD(MonotonicNs() / 1000000); }

void DeliverSentMessages(std::unique_lock<std::mutex>& lock, ThreadContext& thread) {
  ThreadMessages& queue = MessagesOf(thread);
  while (!queue.sent.empty()) {
    std::shared_ptr<SentMessage> sent = queue.sent.front();
    queue.sent.pop_front();
    sent->started = true;
    lock.unlock();
    LRESULT result = CallWindow(sent->window, sent->message, sent->wParam, sent->lParam);
    lock.lock();
    sent->result = result;
    sent->done = true;
    std::shared_ptr<ThreadContext> sender = sent->sender;  // alive until woken
    if (!sent->callback)
      WakeUnlocked(lock, *sender);
    else if (!sender->ended)
      HandOver(lock, *sender, &ThreadMessages::replies, std::move(sent));
  }
  while (!queue.replies.empty()) {
    std::shared_ptr<SentMessage> reply = std::move(queue.replies.front());
    queue.replies.pop_front();
    lock.unlock();
    reply->callback(reply->window, reply->message, reply->callbackData, reply->result);
    lock.lock();
  }
}

// Woken once the lock is free, the thread does not wake only to wait for it.
void WakeUnlocked(std::unique_lock<std::mutex>& lock, ThreadContext& thread) {
  lock.unlock();
  thread.Wake();
  lock.lock();
}

void HandOver(std::unique_lock<std::mutex>& lock, ThreadContext& thread, SentList ThreadMessages::*list,
              std::shared_ptr<SentMessage> message) {
  ThreadMessages& queue = MessagesOf(thread);
  (queue.*list).push_back(std::move(message));
  queue.newInput |= QS_SENDMESSAGE;
  WakeUnlocked(lock, thread);
}

}  // namespace posix
}  // namespace korvex

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  auto thread = CurrentThread();
  MessageFilter filter{window, filterMin, filterMax};
  std::unique_lock<std::mutex> lock(LayerLock());
  if (!msg || !FilterWindowExists(window)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  for (;;) {
    if (thread->terminated) break;
    if (TakeMessage(lock, *thread, filter, true, msg)) return msg->message != WM_QUIT;
    ThreadMessages& queue = MessagesOf(*thread);
    ArmTimerFd(queue, filter);
    if (SleepOn(lock, *thread, {queue.timerFd}, -1) == Wake::kCancelled) break;
    DrainTimerFd(queue);
  }
  SetLastError(ERROR_OPERATION_ABORTED);
  return -1;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  auto thread = CurrentThread();
  std::unique_lock<std::mutex> lock(LayerLock());
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TakeMessage(lock, *thread, MessageFilter{window, filterMin, filterMax}, removeMsg & PM_REMOVE, msg);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, TickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  {
    auto thread = CurrentThread();
    std::lock_guard<std::mutex> lock(LayerLock());
    auto target = FindWindow(msg->hwnd);
    if (!target || target->ownerId != thread->id) {
      SetLastError(target ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  }
  return CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  std::lock_guard<std::mutex> lock(LayerLock());
  auto target = FindWindow(window);
  auto owner = target ? target->owner.lock() : nullptr;
  if (!owner || owner->ended) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Post(*owner, window, message, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto thread = FindThread(threadId);
  if (!thread || thread->ended) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return Post(*thread, nullptr, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  auto thread = CurrentThread();
  std::lock_guard<std::mutex> lock(LayerLock());
  ThreadMessages& queue = MessagesOf(*thread);
  queue.quitPending = true;
  queue.quitCode = exitCode;
  queue.newInput |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
}
