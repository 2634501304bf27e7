#ifndef KORVEX_PLATFORM_POSIX_SYNC_THREAD_CONTEXT_H
#define KORVEX_PLATFORM_POSIX_SYNC_THREAD_CONTEXT_H

// The threads and waiting room of the layer (sync/): what it keeps per thread
// (the wake-up descriptor it sleeps on, its queued APCs, whether it ended or
// was terminated), the kernel objects a HANDLE stands for, events, mutexes and
// the wait functions. All of it, and every object of the windowing room, is
// guarded by one lock, LayerLock(); nobody holds it while a window procedure,
// an APC or a wait runs.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/common/clock.h"
#include "platform/posix/common/layer_lock.h"

namespace korvex {
namespace posix {

class ThreadContext;

// What a room above this one keeps per thread (the message queue): the floor
// knows it only as something to tell when the thread ends.
class ThreadAttachment {
public:
  virtual ~ThreadAttachment();
  // Under the lock, once the thread has ended.
  virtual void ThreadEnded(ThreadContext& thread) = 0;
};

struct QueuedApc {
  PAPCFUNC function;
  ULONG_PTR data;
};

class ThreadContext {
public:
  ThreadContext();
  ~ThreadContext();
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;

  // Makes the thread's current or next sleep return; needs no lock.
  void Wake();

  const DWORD id;
  const int wakeFd;                            // eventfd
  std::unique_ptr<ThreadAttachment> messages;  // made by windowing/ on first use
  std::deque<QueuedApc> apcs;
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
// The thread is about to end: its APCs are dropped and its attachment told.
// Takes the lock.
void EndCurrentThread();

// Absolute monotonic deadline for a time-out in ms; -1 for INFINITE.
int64_t DeadlineAfter(DWORD milliseconds);

enum class Wake { kWoken, kTimeout, kCancelled };

// Sleeps, without the lock, until woken, a descriptor is readable or the
// deadline (-1: none) passes. kCancelled, at once or on waking, when the
// thread was terminated. Needs the lock held by lock.
Wake SleepOn(std::unique_lock<std::mutex>& lock, ThreadContext& context, const std::vector<int>& fds,
             int64_t deadlineNs);

// Runs the thread's queued APCs, releasing the lock around them; false when
// none was queued.
bool RunApcs(std::unique_lock<std::mutex>& lock, ThreadContext& context);

// TerminateThread waits on this until the target is out of SleepOn.
void WaitUntilAwake(std::unique_lock<std::mutex>& lock, ThreadContext& context);

}  // namespace posix
}  // namespace korvex

#endif
