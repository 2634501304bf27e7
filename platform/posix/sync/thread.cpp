#include <limits.h>
#include <pthread.h>

#include "korvex/platform.h"
#include "platform/posix/sync/kernel_object.h"

using namespace korvex::posix;

namespace {

class ThreadObject : public KernelObject {
public:
  explicit ThreadObject(std::shared_ptr<ThreadContext> context) : context(std::move(context)) {}
  bool Signalled() const override { return finished; }

  const std::shared_ptr<ThreadContext> context;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
};

struct Start {
  std::shared_ptr<ThreadObject> thread;
  LPTHREAD_START_ROUTINE routine;
  LPVOID parameter;
};

void* Run(void* argument) {
  std::unique_ptr<Start> start(static_cast<Start*>(argument));
  std::shared_ptr<ThreadObject> thread = std::move(start->thread);
  AdoptContext(thread->context);
  DWORD exitCode = start->routine(start->parameter);
  EndCurrentThread();
  std::lock_guard<std::mutex> lock(LayerLock());
  thread->exitCode = thread->context->terminated ? thread->context->terminateCode : exitCode;
  thread->finished = true;
  thread->WakeWaiters();
  return nullptr;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (!start || (creationFlags & ~DWORD(STACK_SIZE_PARAM_IS_A_RESERVATION))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>(NewThreadContext());
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize) pthread_attr_setstacksize(&attributes, std::max<size_t>(stackSize, PTHREAD_STACK_MIN));
  auto* run = new Start{thread, start, parameter};
  pthread_t ignored;
  int failed = pthread_create(&ignored, &attributes, Run, run);
  pthread_attr_destroy(&attributes);
  if (failed) {
    delete run;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = thread->context->id;
  return AddHandle(thread);
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto thread = FindHandleOf<ThreadObject>(handle);
  if (!thread || !exitCode) {
    SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // A terminated thread counts as ended, though it may still be on its way out.
  *exitCode = thread->finished || !thread->context->terminated ? thread->exitCode : thread->context->terminateCode;
  return TRUE;
}

DWORD GetCurrentThreadId(void) { return CurrentThread()->id; }

BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
  auto caller = CurrentThread();
  std::unique_lock<std::mutex> lock(LayerLock());
  auto thread = FindHandleOf<ThreadObject>(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ThreadContext& target = *thread->context;
  if (thread->finished || target.terminated) return TRUE;
  target.terminated = true;
  target.terminateCode = exitCode;
  if (&target == caller.get()) return TRUE;
  target.Wake();
  WaitUntilAwake(lock, target);
  return TRUE;
}

DWORD QueueUserAPC(PAPCFUNC apc, HANDLE handle, ULONG_PTR data) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto thread = FindHandleOf<ThreadObject>(handle);
  if (!thread || !apc || thread->context->ended) {
    SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  thread->context->apcs.push_back(QueuedApc{apc, data});
  thread->context->Wake();
  return 1;
}
