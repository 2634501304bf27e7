#ifndef KORVEX_PLATFORM_POSIX_SYNC_THREAD_CONTEXT_H
#define KORVEX_PLATFORM_POSIX_SYNC_THREAD_CONTEXT_H

// The threads and waiting room of the layer (sync/): what it keeps per thread
// (the wake-up descriptor it sleeps on, whether it ended or was terminated, and
// its message queue, windowing/thread_messages.h), the kernel objects a HANDLE
// stands for, events, mutexes and the wait functions. All of it, and every
// object of the windowing room, is guarded by one lock, LayerLock(); nobody
// holds it while a window procedure or a wait runs.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/common/clock.h"
#include "platform/posix/common/layer_lock.h"
#include "platform/posix/windowing/thread_messages.h"

namespace korvex {
namespace posix {

class ThreadContext {
public:
  ThreadContext();
  ~ThreadContext();
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;

  // Makes the thread's current or next sleep return; needs no lock.
  void Wake();

  const DWORD id;
  const int wakeFd;  // eventfd
  ThreadMessages messages;
  bool ended = false;
  bool terminated = false;
  DWORD terminateCode = 0;
  int sleeping = 0;  // inside SleepOn
};

// The calling thread's context, made on first use.
std::shared_ptr<ThreadContext> CurrentThread();
// A context for a thread CreateThread is about to start, known by its id at once.
std::shared_ptr<ThreadContext> NewThreadContext();
// Gives the started thread the context made for it.
void AdoptContext(std::shared_ptr<ThreadContext> context);
// A live thread by id, or null. Needs the lock.
std::shared_ptr<ThreadContext> FindThread(DWORD id);
// The thread is about to end: its windows go away, threads waiting for it to
// handle a sent message get 0. Takes the lock.
void EndCurrentThread();

// Absolute monotonic deadline for a time-out in ms; -1 for INFINITE.
int64_t DeadlineAfter(DWORD milliseconds);

enum class Wake { kWoken, kTimeout, kCancelled };

// Sleeps, without the lock, until woken, a descriptor is readable or the
// deadline (-1: none) passes. kCancelled, at once or on waking, when the
// thread was terminated. Needs the lock held by lock.
Wake SleepOn(std::unique_lock<std::mutex>& lock, ThreadContext& context, const std::vector<int>& fds,
             int64_t deadlineNs);

// TerminateThread waits on this until the target is out of SleepOn.
void WaitUntilAwake(std::unique_lock<std::mutex>& lock, ThreadContext& context);

}  // namespace posix
}  // namespace korvex

#endif
