#include "platform/posix/sync/kernel_object.h"

#include <unordered_map>

namespace korvex {
namespace posix {
namespace {

std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>& Handles() {
  static auto* handles = new std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>;
  return *handles;
}

}  // namespace

KernelObject::~KernelObject() = default;
void KernelObject::Refresh() {}
void KernelObject::CollectFds(std::vector<int>*, std::vector<std::shared_ptr<KernelObject>>*) const {}
void KernelObject::Acquire() {}
void KernelObject::WakeWaiters() {
  for (ThreadContext* waiter : waiters) waiter->Wake();
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> lock(LayerLock());
  // Counted, never reused, and clear of the pseudo handles near -1.
  static uintptr_t next = 0x1000;
  next += 4;
  HANDLE handle = reinterpret_cast<HANDLE>(next);
  Handles()[handle] = std::move(object);
  return handle;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  auto found = Handles().find(handle);
  return found == Handles().end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle, std::shared_ptr<KernelObject>* released) {
  auto found = Handles().find(handle);
  if (found == Handles().end()) return false;
  *released = std::move(found->second);
  Handles().erase(found);
  return true;
}

}  // namespace posix
}  // namespace korvex
