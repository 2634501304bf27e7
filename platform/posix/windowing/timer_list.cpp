#include "platform/posix/windowing/timer_list.h"

namespace korvex {
namespace posix {

const Timer* TimerList::Find(HWND window, UINT_PTR id) const {
  auto found = timers_.find(Key(window, id));
  return found == timers_.end() ? nullptr : &found->second;
}

void TimerList::Set(const Timer& timer) {
  Key key(timer.window, timer.id);
  auto found = timers_.find(key);
  if (found != timers_.end()) due_.erase({found->second.dueNs, key});
  timers_[key] = timer;
  due_.insert({timer.dueNs, key});
}

bool TimerList::Kill(HWND window, UINT_PTR id) {
  auto found = timers_.find(Key(window, id));
  if (found == timers_.end()) return false;
  due_.erase({found->second.dueNs, found->first});
  timers_.erase(found);
  return true;
}

void TimerList::KillAllOf(HWND window) {
  auto at = timers_.lower_bound(Key(window, 0));
  while (at != timers_.end() && at->first.first == window) {
    due_.erase({at->second.dueNs, at->first});
    at = timers_.erase(at);
  }
}

void TimerList::Clear() {
  timers_.clear();
  due_.clear();
}

const Timer* TimerList::Earliest(const std::function<bool(const Timer&)>& admits, int64_t until) const {
  for (const auto& entry : due_) {
    if (until >= 0 && entry.first > until) break;
    const Timer& timer = timers_.at(entry.second);
    if (admits(timer)) return &timer;
  }
  return nullptr;
}

}  // namespace posix
}  // namespace korvex
