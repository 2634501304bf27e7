#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_MESSAGE_QUEUE_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_MESSAGE_QUEUE_H

// The pieces GetMessageA and PeekMessageA are built from. All need LayerLock().
#include "platform/posix/sync/thread_context.h"

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

// Handles every message other threads sent to this one, releasing the lock
// around each window procedure.
void DeliverSentMessages(std::unique_lock<std::mutex>& lock, ThreadContext& thread);

// A WM_TIMER for the most overdue timer that the filter admits; with remove,
// the timer starts its next period now.
bool TakeDueTimer(ThreadContext& thread, const MessageFilter& filter, bool remove, MSG* msg);
// Arms the thread's timer descriptor for the earliest timer the filter admits.
void ArmTimerFd(ThreadContext& thread, const MessageFilter& filter);

}  // namespace posix
}  // namespace korvex

#endif
