// MsgWaitForMultipleObjectsEx: the thread's message queue joins the wait as
// one more kernel object, after the handles.
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/windowing/message_queue.h"

using namespace korvex::posix;

namespace {

constexpr DWORD kPostedInput = QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
constexpr DWORD kKnownFlags = MWMO_WAITALL | MWMO_ALERTABLE | MWMO_INPUTAVAILABLE;

class QueueInput : public KernelObject {
public:
  // Without `seenToo`, only what arrived since the thread last looked at its
  // queue counts, as in Win32.
  QueueInput(ThreadMessages& queue, DWORD mask, bool seenToo) : queue_(queue), mask_(mask), seenToo_(seenToo) {}

  // Only the waiting thread reads its own timer descriptor.
  void Refresh() override { DrainTimerFd(queue_); }
  void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>*) const override {
    if (!(mask_ & QS_TIMER)) return;
    ArmTimerFd(queue_, Counted());
    fds->push_back(queue_.timerFd);
  }
  bool Signalled() const override {
    if ((seenToo_ ? Present() : queue_.newInput) & mask_) return true;
    return (mask_ & QS_TIMER) && queue_.timers.Earliest(Counted(), MonotonicNs());
  }

private:
  DWORD Present() const {
    DWORD bits = 0;
    if (!queue_.posted.empty() || queue_.quitPending) bits |= kPostedInput;
    if (!queue_.sent.empty() || !queue_.replies.empty()) bits |= QS_SENDMESSAGE;
    return bits;
  }
  // The timers whose falling due counts: those due since the last look.
  std::function<bool(const Timer&)> Counted() const {
    int64_t after = seenToo_ ? INT64_MIN : queue_.lookedNs;
    return [after](const Timer& timer) { return timer.dueNs > after; };
  }

  ThreadMessages& queue_;
  const DWORD mask_;
  const bool seenToo_;
};

}  // namespace

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask, DWORD flags) {
  std::vector<std::shared_ptr<KernelObject>> objects;
  if ((flags & ~kKnownFlags) || count >= MAXIMUM_WAIT_OBJECTS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  if (!ObjectsOf(count, handles, &objects)) return WAIT_FAILED;
  auto thread = CurrentThread();
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    objects.push_back(std::make_shared<QueueInput>(MessagesOf(*thread), wakeMask, flags & MWMO_INPUTAVAILABLE));
  }
  return WaitForObjects(objects, flags & MWMO_WAITALL, milliseconds, flags & MWMO_ALERTABLE);
}
