#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_MESSAGE_QUEUE_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_MESSAGE_QUEUE_H

// The pieces GetMessageA and PeekMessageA are built from. All need LayerLock().
#include <functional>

#include "platform/posix/windowing/thread_messages.h"

namespace korvex {
namespace posix {

// What GetMessageA's window and range arguments let through.
struct MessageFilter {
  HWND window;  // NULL: all; (HWND)-1: thread messages only
  UINT first;
  UINT last;  // first = last = 0: every message

  bool Admits(HWND target, UINT message) const;
};

DWORD TickCount();

// Handles every message other threads sent to this one, then calls back for
// the replies to its own SendMessageCallbackA, releasing the lock around each.
void DeliverSentMessages(std::unique_lock<std::mutex>& lock, ThreadContext& thread);

// Puts a sent message (or the reply to one) on the thread's list as new input
// and wakes the thread, releasing the lock meanwhile.
void HandOver(std::unique_lock<std::mutex>& lock, ThreadContext& thread, SentList ThreadMessages::*list,
              std::shared_ptr<SentMessage> message);
void WakeUnlocked(std::unique_lock<std::mutex>& lock, ThreadContext& thread);

// A WM_TIMER for the most overdue timer that the filter admits; with remove,
// the timer starts its next period now.
bool TakeDueTimer(ThreadMessages& queue, const MessageFilter& filter, bool remove, MSG* msg);
// Arms the queue's timer descriptor for the earliest timer `admits` lets through.
void ArmTimerFd(ThreadMessages& queue, const std::function<bool(const Timer&)>& admits);
void ArmTimerFd(ThreadMessages& queue, const MessageFilter& filter);
// Takes in the expirations, so the descriptor stops being readable.
void DrainTimerFd(ThreadMessages& queue);

}  // namespace posix
}  // namespace korvex

#endif
