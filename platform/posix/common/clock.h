#ifndef KORVEX_PLATFORM_POSIX_COMMON_CLOCK_H
#define KORVEX_PLATFORM_POSIX_COMMON_CLOCK_H

// The one clock of the layer's time-outs, timers and tick counts: monotonic,
// so a change of the wall clock moves no deadline.
#include <cstdint>

namespace korvex {
namespace posix {

int64_t MonotonicNs();

}  // namespace posix
}  // namespace korvex

#endif
