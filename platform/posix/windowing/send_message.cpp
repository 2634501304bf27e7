#include <algorithm>

#include "platform/posix/windowing/message_queue.h"
#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

namespace {

// The thread that handles the window's messages, or null (with the last error
// set) when there is none to send to. Needs the lock.
std::shared_ptr<ThreadContext> ReceiverOf(HWND window) {
  auto target = FindWindow(window);
  auto receiver = target ? target->owner.lock() : nullptr;
  if (receiver && !receiver->ended) return receiver;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

// The sender gave up (it was terminated): a message nobody started is taken
// back, so it is never handled after SendMessageA returned.
void Withdraw(ThreadContext& receiver, const std::shared_ptr<SentMessage>& sent) {
  auto& queue = MessagesOf(receiver).sent;
  queue.erase(std::remove(queue.begin(), queue.end(), sent), queue.end());
}

}  // namespace

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto thread = CurrentThread();
  std::unique_lock<std::mutex> lock(LayerLock());
  if (thread->terminated) {
    SetLastError(ERROR_OPERATION_ABORTED);
    return 0;
  }
  auto receiver = ReceiverOf(window);
  if (!receiver) return 0;
  if (receiver == thread) {
    lock.unlock();
    return CallWindow(window, message, wParam, lParam);
  }

  auto sent = std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam, thread});
  HandOver(lock, *receiver, &ThreadMessages::sent, sent);
  for (;;) {
    // Messages sent to this thread meanwhile are handled, so two threads
    // sending to each other both get on.
    DeliverSentMessages(lock, *thread);
    if (sent->done) return sent->result;
    if (SleepOn(lock, *thread, {}, -1) == Wake::kCancelled) break;
  }
  if (!sent->started) Withdraw(*receiver, sent);
  SetLastError(ERROR_OPERATION_ABORTED);
  return 0;
}

BOOL SendMessageCallbackA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, SENDASYNCPROC callback,
                          ULONG_PTR data) {
  auto thread = CurrentThread();
  std::unique_lock<std::mutex> lock(LayerLock());
  auto receiver = ReceiverOf(window);
  if (!receiver) return FALSE;
  if (receiver == thread) {
    lock.unlock();
    LRESULT result = CallWindow(window, message, wParam, lParam);
    if (callback) callback(window, message, data, result);
    return TRUE;
  }
  HandOver(lock, *receiver, &ThreadMessages::sent,
           std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam, thread, callback, data}));
  return TRUE;
}
