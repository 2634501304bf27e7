#include <algorithm>

#include "platform/posix/windowing/message_queue.h"
#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

namespace {

// The sender gave up (it was terminated): a message nobody started is taken
// back, so it is never handled after SendMessageA returned.
void Withdraw(ThreadContext& receiver, const std::shared_ptr<SentMessage>& sent) {
  auto& queue = receiver.messages.sent;
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
  auto target = FindWindow(window);
  auto receiver = target ? target->owner.lock() : nullptr;
  if (!receiver || receiver->ended) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (receiver == thread) {
    lock.unlock();
    return CallWindow(window, message, wParam, lParam);
  }

  auto sent = std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam, 0, false, false, thread});
  receiver->messages.sent.push_back(sent);
  // Woken after unlocking, the receiver does not wake only to wait for the lock.
  lock.unlock();
  receiver->Wake();
  lock.lock();
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
