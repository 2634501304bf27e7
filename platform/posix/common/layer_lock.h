#ifndef KORVEX_PLATFORM_POSIX_COMMON_LAYER_LOCK_H
#define KORVEX_PLATFORM_POSIX_COMMON_LAYER_LOCK_H

// The one lock of the threads, waits and windows: every thread context,
// message queue, kernel object and window is guarded by it.
#include <mutex>

namespace korvex {
namespace posix {

std::mutex& LayerLock();

}  // namespace posix
}  // namespace korvex

#endif
