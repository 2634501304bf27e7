#include <sys/timerfd.h>

#include <algorithm>

#include "platform/posix/message_queue.h"
#include "platform/posix/window_table.h"

using namespace korvex::posix;

namespace {

bool Admits(const MessageFilter& filter, const Timer& timer) { return filter.Admits(timer.window, WM_TIMER); }

Timer* FindTimer(ThreadContext& thread, HWND window, UINT_PTR id) {
  for (Timer& timer : thread.timers)
    if (timer.window == window && timer.id == id) return &timer;
  return nullptr;
}

// Thread timers get identifiers of their own, never 0 and never one in use.
UINT_PTR NewThreadTimerId(ThreadContext& thread) {
  static UINT_PTR next = 0x7FFE;
  do {
    next = next == UINTPTR_MAX ? 0x7FFF : next + 1;
  } while (FindTimer(thread, nullptr, next));
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

}  // namespace

namespace korvex {
namespace posix {

bool TakeDueTimer(ThreadContext& thread, const MessageFilter& filter, bool remove, MSG* msg) {
  int64_t now = MonotonicNs();
  Timer* due = nullptr;
  // The filter is looked at last: a loop with many timers runs this for every
  // message it takes.
  for (Timer& timer : thread.timers)
    if (timer.dueNs <= now && (!due || timer.dueNs < due->dueNs) && Admits(filter, timer)) due = &timer;
  if (!due) return false;
  *msg = MSG{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), DWORD(now / 1000000), {0, 0}};
  if (remove) due->dueNs = now + due->periodNs;
  return true;
}

void ArmTimerFd(ThreadContext& thread, const MessageFilter& filter) {
  int64_t earliest = -1;
  for (const Timer& timer : thread.timers)
    if ((earliest < 0 || timer.dueNs < earliest) && Admits(filter, timer)) earliest = timer.dueNs;
  itimerspec when{};
  if (earliest >= 0) {
    // An absolute time of zero would disarm it.
    earliest = std::max<int64_t>(earliest, 1);
    when.it_value.tv_sec = earliest / 1000000000;
    when.it_value.tv_nsec = earliest % 1000000000;
  }
  timerfd_settime(thread.timerFd, TFD_TIMER_ABSTIME, &when, nullptr);
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
  Timer* timer = FindTimer(*owner, window, id);
  if (!timer) {
    if (!window) id = NewThreadTimerId(*owner);
    owner->timers.push_back(Timer{window, id, nullptr, 0, 0});
    timer = &owner->timers.back();
  }
  timer->proc = timerFunc;
  timer->periodNs = periodNs;
  timer->dueNs = MonotonicNs() + periodNs;
  if (owner != caller) owner->Wake();  // the caller is not asleep
  return window && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto caller = CurrentThread();
  std::lock_guard<std::mutex> lock(LayerLock());
  auto owner = TimerOwner(window, caller);
  Timer* timer = owner ? FindTimer(*owner, window, id) : nullptr;
  if (!timer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  owner->timers.erase(owner->timers.begin() + (timer - owner->timers.data()));
  return TRUE;
}
