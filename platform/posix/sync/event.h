#ifndef KORVEX_PLATFORM_POSIX_SYNC_EVENT_H
#define KORVEX_PLATFORM_POSIX_SYNC_EVENT_H

// An event, which asynchronous registry waits signal.
#include "platform/posix/sync/kernel_object.h"

namespace korvex {
namespace posix {

class Event : public KernelObject {
public:
  Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  // Something that sets the event once it fires, checked whenever the event
  // is waited for: an asynchronous registry wait.
  void AddTrigger(std::shared_ptr<KernelObject> trigger);

  void Refresh() override;
  void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>* keep) const override;
  bool Signalled() const override { return signalled_; }
  void Acquire() override;
  // Need the lock.
  void Set();
  void Reset() { signalled_ = false; }

private:
  const bool manualReset_;
  bool signalled_;
  std::vector<std::shared_ptr<KernelObject>> triggers_;
};

}  // namespace posix
}  // namespace korvex

#endif
