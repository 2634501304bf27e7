#include "platform/posix/common/clock.h"

#include <time.h>

namespace korvex {
namespace posix {

int64_t MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace posix
}  // namespace korvex
