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

DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool all, DWORD milliseconds,
                     bool alertable) {
  auto thread = CurrentThread();
  int64_t deadline = DeadlineAfter(milliseconds);
  for (;;) {
    for (auto& object : objects) object->Refresh();
    std::unique_lock<std::mutex> lock(LayerLock());
    if (thread->terminated) break;
    DWORD result = Satisfied(objects, all);
    if (result != WAIT_TIMEOUT) return result;
    if (alertable && RunApcs(lock, *thread)) return WAIT_IO_COMPLETION;
    if (deadline >= 0 && MonotonicNs() >= deadline) return WAIT_TIMEOUT;
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

bool ObjectsOf(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<KernelObject>>* objects) {
  if (count > MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::lock_guard<std::mutex> lock(LayerLock());
  for (DWORD i = 0; i < count; ++i) {
    auto object = FindHandle(handles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    objects->push_back(std::move(object));
  }
  return true;
}

}  // namespace posix
}  // namespace korvex

DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, BOOL alertable) {
  std::vector<std::shared_ptr<KernelObject>> objects;
  if (!ObjectsOf(count, handles, &objects)) return WAIT_FAILED;
  if (objects.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForObjects(objects, waitAll, milliseconds, alertable);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  return WaitForMultipleObjectsEx(count, handles, waitAll, milliseconds, FALSE);
}

DWORD WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable) {
  return WaitForMultipleObjectsEx(1, &handle, FALSE, milliseconds, alertable);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForSingleObjectEx(handle, milliseconds, FALSE);
}

// A wait for nothing: only the time, an APC or TerminateThread ends it.
DWORD SleepEx(DWORD milliseconds, BOOL alertable) {
  return WaitForObjects({}, false, milliseconds, alertable) == WAIT_IO_COMPLETION ? WAIT_IO_COMPLETION : 0;
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
