#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/windowing/message_queue.h"
#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

namespace {

// Thread timers get identifiers of their own, never 0 and never one in use.
UINT_PTR NewThreadTimerId(const ThreadMessages& queue) {
  static UINT_PTR next = 0x7FFE;
  do {
    next = next == UINTPTR_MAX ? 0x7FFF : next + 1;
  } while (queue.timers.Find(nullptr, next));
  return next;
}

// The thread whose queue gets the window's timer messages; the caller's for a
// thread timer.
std::shared_ptr<ThreadContext> TimerOwner(HWND window, std::shared_ptr<ThreadContext> caller) {
  if (!window) return caller;
  auto target = FindWindow(window);
  auto owner = target && !target->destroying ? target->owner.lock() : nullptr;
  return owner && !owner->ended ? owner : nullptr;
}

std::function<bool(const Timer&)> Admitted(const MessageFilter& filter) {
  return [&filter](const Timer& timer) { return filter.Admits(timer.window, WM_TIMER); };
}

}  // namespace

namespace korvex {
namespace posix {

bool TakeDueTimer(ThreadMessages& queue, const MessageFilter& filter, bool remove, MSG* msg) {
  int64_t now = MonotonicNs();
  const Timer* due = queue.timers.Earliest(Admitted(filter), now);
  if (!due) return false;
  *msg = MSG{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), DWORD(now / 1000000), {0, 0}};
  if (remove) {
    Timer next = *due;
    next.dueNs = now + next.periodNs;
    queue.timers.Set(next);
  }
  return true;
}

void ArmTimerFd(ThreadMessages& queue, const MessageFilter& filter) { ArmTimerFd(queue, Admitted(filter)); }

void ArmTimerFd(ThreadMessages& queue, const std::function<bool(const Timer&)>& admits) {
  const Timer* next = queue.timers.Earliest(admits, -1);
  int64_t earliest = next ? next->dueNs : -1;
  itimerspec when{};
  if (earliest >= 0) {
    // An absolute time of zero would disarm it.
    earliest = std::max<int64_t>(earliest, 1);
    when.it_value.tv_sec = earliest / 1000000000;
    when.it_value.tv_nsec = earliest % 1000000000;
  }
  timerfd_settime(queue.timerFd, TFD_TIMER_ABSTIME, &when, nullptr);
}

void DrainTimerFd(ThreadMessages& queue) {
  uint64_t expirations;
  ssize_t ignored = read(queue.timerFd, &expirations, sizeof expirations);
  (void)ignored;
}

}  // namespace posix
}  // namespace korvex

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerFunc) {
  auto caller = CurrentThread();
  int64_t periodNs = int64_t(std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM)) * 1000000;
  std::lock_guard<std::mutex> lock(LayerLock());
  auto owner = TimerOwner(window, caller);
  if (!owner) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  ThreadMessages& queue = MessagesOf(*owner);
  if (!window && !queue.timers.Find(nullptr, id)) id = NewThreadTimerId(queue);
  queue.timers.Set(Timer{window, id, timerFunc, periodNs, MonotonicNs() + periodNs});
  if (owner != caller) owner->Wake();  // the caller is not asleep
  return window && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto caller = CurrentThread();
  std::lock_guard<std::mutex> lock(LayerLock());
  auto owner = TimerOwner(window, caller);
  if (!owner || !MessagesOf(*owner).timers.Kill(window, id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
