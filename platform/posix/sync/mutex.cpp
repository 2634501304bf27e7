// Mutex objects: owned by one thread at a time, which may take it again and
// releases it as often as it took it.
#include "korvex/platform.h"
#include "platform/posix/sync/kernel_object.h"

using namespace korvex::posix;

namespace {

class Mutex : public KernelObject {
public:
  // All need the lock; a wait asks from the waiting thread.
  bool Signalled() const override { return owner_ == 0 || owner_ == GetCurrentThreadId(); }
  void Acquire() override {
    owner_ = GetCurrentThreadId();
    ++count_;
  }
  bool Release() {
    if (owner_ != GetCurrentThreadId()) return false;
    if (--count_ == 0) {
      owner_ = 0;
      WakeWaiters();
    }
    return true;
  }

private:
  DWORD owner_ = 0;
  unsigned count_ = 0;
};

}  // namespace

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  if (name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto mutex = std::make_shared<Mutex>();
  if (initialOwner) mutex->Acquire();
  return AddHandle(std::move(mutex));
}

BOOL ReleaseMutex(HANDLE handle) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto mutex = FindHandleOf<Mutex>(handle);
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mutex->Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
