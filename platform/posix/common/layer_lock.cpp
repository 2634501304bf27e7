#include "platform/posix/common/layer_lock.h"

namespace korvex {
namespace posix {

// Never destroyed: threads may end, and take it, after static destruction began.
std::mutex& LayerLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

}  // namespace posix
}  // namespace korvex
