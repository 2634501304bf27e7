#ifndef KORVEX_PLATFORM_POSIX_COMMON_CLOCK_H
#define KORVEX_PLATFORM_POSIX_COMMON_CLOCK_H

// The one clock of the layer's time-outs, timers and tick counts: monotonic,
// so a change of the wall clock moves no deadline.
#include <cstdint>

namespace korvex {
namespace posix {

int64_t MonotonicNs();

// How long a call waits for a lock another process holds (a registry hive's,
// a profile file's) before it fails: far longer than a write takes, so only a
// writer that hangs, or a lock held on purpose, runs it out.
constexpr int64_t kLockWaitNs = 10'000'000'000;

}  // namespace posix
}  // namespace korvex

#endif
