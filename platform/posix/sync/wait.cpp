#include <algorithm>

#include "korvex/platform.h"
#include "platform/posix/sync/kernel_object.h"

using namespace korvex::posix;

namespace {

// WAIT_OBJECT_0 + index when the wait is satisfied now, else WAIT_TIMEOUT.
DWORD Satisfied(const std::vector<std::shared_ptr<KernelObject>>& objects, bool all) {
  if (all) {
    for (auto& object : objects)
      if (!object->Signalled()) return WAIT_TIMEOUT;
    for (auto& object : objects) object->Acquire();
    return WAIT_OBJECT_0;
  }
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->Signalled()) {
      objects[i]->Acquire();
      return WAIT_OBJECT_0 + DWORD(i);
    }
  }
  return WAIT_TIMEOUT;
}

void Unregister(const std::vector<std::shared_ptr<KernelObject>>& objects, ThreadContext* thread) {
  for (auto& object : objects) {
    auto& waiters = object->waiters;
    waiters.erase(std::remove(waiters.begin(), waiters.end(), thread), waiters.end());
  }
}

}  // namespace

namespace korvex {
namespace posix {

DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool all, DWORD milliseconds) {
  auto thread = CurrentThread();
  int64_t deadline = DeadlineAfter(milliseconds);
  for (;;) {
    for (auto& object : objects) object->Refresh();
    std::unique_lock<std::mutex> lock(LayerLock());
    if (thread->terminated) break;
    DWORD result = Satisfied(objects, all);
    if (result != WAIT_TIMEOUT || (deadline >= 0 && MonotonicNs() >= deadline)) return result;
    std::vector<int> fds;
    std::vector<std::shared_ptr<KernelObject>> keep;
    for (auto& object : objects) {
      object->waiters.push_back(thread.get());
      object->CollectFds(&fds, &keep);
    }
    Wake woke = SleepOn(lock, *thread, fds, deadline);
    Unregister(objects, thread.get());
    if (woke == Wake::kCancelled) break;
  }
  SetLastError(ERROR_OPERATION_ABORTED);
  return WAIT_FAILED;
}

}  // namespace posix
}  // namespace korvex

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  std::vector<std::shared_ptr<KernelObject>> objects;
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    for (DWORD i = 0; handles && i < count && count <= MAXIMUM_WAIT_OBJECTS; ++i) {
      auto object = FindHandle(handles[i]);
      if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
      }
      objects.push_back(std::move(object));
    }
  }
  if (objects.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForObjects(objects, waitAll, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> released;
  std::lock_guard<std::mutex> lock(LayerLock());
  if (!RemoveHandle(handle, &released)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
