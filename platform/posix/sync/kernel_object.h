#ifndef KORVEX_PLATFORM_POSIX_SYNC_KERNEL_OBJECT_H
#define KORVEX_PLATFORM_POSIX_SYNC_KERNEL_OBJECT_H

// What a HANDLE stands for: threads, events and change notifications, kept in
// one table so that CloseHandle and the wait functions treat them alike. A
// closed handle is never valid again; an object lives on while a wait uses it.
#include <memory>
#include <vector>

#include "platform/posix/sync/thread_context.h"

namespace korvex {
namespace posix {

class KernelObject {
public:
  virtual ~KernelObject();

  // Takes in what arrived on the object's descriptors. Called without the
  // lock, by waiters before they look at Signalled().
  virtual void Refresh();
  // The rest needs the lock.

  // The descriptors a waiter sleeps on beside its wake-up descriptor, and the
  // objects that keep them open meanwhile.
  virtual void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>* keep) const;
  virtual bool Signalled() const = 0;
  // A wait was satisfied by this object: an auto-reset event resets.
  virtual void Acquire();
  // Wakes every thread waiting for the object.
  void WakeWaiters();

  std::vector<ThreadContext*> waiters;
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// Needs the lock.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
// False when the handle is not open. Needs the lock; the caller releases the
// object returned in released after unlocking.
bool RemoveHandle(HANDLE handle, std::shared_ptr<KernelObject>* released);

template <typename T>
std::shared_ptr<T> FindHandleOf(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// The objects of at most MAXIMUM_WAIT_OBJECTS handles; false, with the last
// error set, when one is not open. Takes the lock.
bool ObjectsOf(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<KernelObject>>* objects);

// Waits until one (or, with all, every one at once) of the objects is
// signalled; WAIT_OBJECT_0 + index, WAIT_TIMEOUT or WAIT_FAILED (terminated).
// When alertable, APCs queued to the thread end the wait: they run, and the
// result is WAIT_IO_COMPLETION.
DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool all, DWORD milliseconds,
                     bool alertable = false);

}  // namespace posix
}  // namespace korvex

#endif
