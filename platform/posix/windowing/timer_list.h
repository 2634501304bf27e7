#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_TIMER_LIST_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_TIMER_LIST_H

// A thread's timers, kept in the order they fall due as well: a loop with many
// timers finds the next one without looking at all of them for every message.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "korvex/platform.h"

namespace korvex {
namespace posix {

struct Timer {
  HWND window;  // NULL for a thread timer
  UINT_PTR id;
  TIMERPROC proc;
  int64_t periodNs;
  int64_t dueNs;
};

class TimerList {
public:
  const Timer* Find(HWND window, UINT_PTR id) const;
  // Adds the timer, or restarts the one of that window and identifier.
  void Set(const Timer& timer);
  bool Kill(HWND window, UINT_PTR id);
  void KillAllOf(HWND window);
  void Clear();
  // The earliest timer that `admits` lets through and that falls due by
  // `until` (-1: whenever); null if none.
  const Timer* Earliest(const std::function<bool(const Timer&)>& admits, int64_t until) const;

private:
  using Key = std::pair<HWND, UINT_PTR>;
  std::map<Key, Timer> timers_;
  std::set<std::pair<int64_t, Key>> due_;
};

}  // namespace posix
}  // namespace korvex

#endif
