#include "platform/posix/sync/thread_context.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <unordered_map>

namespace korvex {
namespace posix {
namespace {

// Never destroyed: threads end (and use these) after static destruction began.
std::condition_variable& AwakeChanged() {
  static auto* changed = new std::condition_variable;
  return *changed;
}

std::unordered_map<DWORD, std::weak_ptr<ThreadContext>>& Threads() {
  static auto* threads = new std::unordered_map<DWORD, std::weak_ptr<ThreadContext>>;
  return *threads;
}

DWORD NextThreadId() {
  static std::atomic<DWORD> next{1};
  return next++;
}

// Ends the thread's part in the layer when the thread exits, for threads the
// layer did not start.
struct ContextSlot {
  std::shared_ptr<ThreadContext> context;
  ~ContextSlot() {
    if (context) EndCurrentThread();
  }
};
thread_local ContextSlot t_slot;

}  // namespace

ThreadAttachment::~ThreadAttachment() = default;

ThreadContext::ThreadContext() : id(NextThreadId()), wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ThreadContext::~ThreadContext() {
  if (wakeFd >= 0) close(wakeFd);
}

void ThreadContext::Wake() {
  uint64_t one = 1;
  ssize_t ignored = write(wakeFd, &one, sizeof one);
  (void)ignored;
}

std::shared_ptr<ThreadContext> CurrentThread() {
  if (!t_slot.context) t_slot.context = NewThreadContext();
  return t_slot.context;
}

std::shared_ptr<ThreadContext> NewThreadContext() {
  auto context = std::make_shared<ThreadContext>();
  std::lock_guard<std::mutex> lock(LayerLock());
  Threads()[context->id] = context;
  return context;
}

void AdoptContext(std::shared_ptr<ThreadContext> context) { t_slot.context = std::move(context); }

std::shared_ptr<ThreadContext> FindThread(DWORD id) {
  auto found = Threads().find(id);
  return found == Threads().end() ? nullptr : found->second.lock();
}

void EndCurrentThread() {
  std::shared_ptr<ThreadContext> context = std::move(t_slot.context);
  if (!context) return;
  std::lock_guard<std::mutex> lock(LayerLock());
  context->ended = true;
  Threads().erase(context->id);
  context->apcs.clear();
  if (context->messages) context->messages->ThreadEnded(*context);
}

bool RunApcs(std::unique_lock<std::mutex>& lock, ThreadContext& context) {
  if (context.apcs.empty()) return false;
  while (!context.apcs.empty()) {
    QueuedApc apc = context.apcs.front();
    context.apcs.pop_front();
    lock.unlock();
    apc.function(apc.data);
    lock.lock();
  }
  return true;
}

int64_t DeadlineAfter(DWORD milliseconds) {
  return milliseconds == INFINITE ? -1 : MonotonicNs() + int64_t(milliseconds) * 1000000;
}

Wake SleepOn(std::unique_lock<std::mutex>& lock, ThreadContext& context, const std::vector<int>& fds,
             int64_t deadlineNs) {
  if (context.terminated) return Wake::kCancelled;
  timespec timeout{};
  timespec* timeoutOrNone = nullptr;
  if (deadlineNs >= 0) {
    int64_t left = std::max<int64_t>(0, deadlineNs - MonotonicNs());
    timeout.tv_sec = left / 1000000000;
    timeout.tv_nsec = left % 1000000000;
    timeoutOrNone = &timeout;
  }
  std::vector<pollfd> watched;
  watched.push_back(pollfd{context.wakeFd, POLLIN, 0});
  for (int fd : fds) watched.push_back(pollfd{fd, POLLIN, 0});

  ++context.sleeping;
  lock.unlock();
  int ready = ppoll(watched.data(), watched.size(), timeoutOrNone, nullptr);
  lock.lock();
  --context.sleeping;
  AwakeChanged().notify_all();

  uint64_t count;
  ssize_t ignored = read(context.wakeFd, &count, sizeof count);
  (void)ignored;
  if (context.terminated) return Wake::kCancelled;
  return ready == 0 ? Wake::kTimeout : Wake::kWoken;
}

void WaitUntilAwake(std::unique_lock<std::mutex>& lock, ThreadContext& context) {
  AwakeChanged().wait(lock, [&] { return context.sleeping == 0; });
}

}  // namespace posix
}  // namespace korvex
