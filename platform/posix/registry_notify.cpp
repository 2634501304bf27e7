#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "korvex/platform.h"
#include "platform/posix/event.h"
#include "platform/posix/kernel_object.h"
#include "platform/posix/registry_changes.h"

using namespace korvex::posix;
using korvex::posix::registry::KeyChanges;

namespace {

constexpr DWORD kChangeBits =
    REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
constexpr LONG kPending = -1;

// One wait on a key: armed with the key's change counts, it looks at them
// again whenever a file of the key's hive was written (every commit writes the
// hive's log, whichever process made it) and is signalled once they moved in
// a way the filter names, or the key is gone.
class KeyChangeWait : public KernelObject {
 public:
  KeyChangeWait(HKEY key, bool subtree, DWORD filter) : key_(key), subtree_(subtree), filter_(filter) {}
  ~KeyChangeWait() override {
    if (fd_ >= 0) close(fd_);
  }

  LONG Arm() {
    std::string hive;
    LONG rc = registry::HiveFilePath(key_, &hive);
    if (rc != ERROR_SUCCESS) return rc;
    size_t slash = hive.rfind('/');
    std::string folder = slash == std::string::npos ? "." : hive.substr(0, slash);
    hiveName_ = hive.substr(slash == std::string::npos ? 0 : slash + 1);
    // Watching starts before the first reading, so no change falls between.
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || inotify_add_watch(fd_, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE) < 0)
      return ERROR_NOT_ENOUGH_MEMORY;
    return registry::ReadKeyChanges(key_, subtree_, &armed_);
  }

  void Refresh() override {
    LONG outcome = kPending;
    {
      std::lock_guard<std::mutex> lock(readLock_);
      bool written = HiveWritten();
      if (!written && !RecheckDue()) return;
      KeyChanges now;
      LONG rc = registry::ReadKeyChanges(key_, subtree_, &now);
      if (rc != ERROR_SUCCESS)
        outcome = rc;
      else if (((filter_ & REG_NOTIFY_CHANGE_NAME) && now.NamesDiffer(armed_)) ||
               ((filter_ & REG_NOTIFY_CHANGE_LAST_SET) && now.ValuesDiffer(armed_)))
        outcome = ERROR_SUCCESS;
      ScheduleRecheck(written, outcome == kPending);
    }
    if (outcome == kPending) return;
    std::lock_guard<std::mutex> lock(LayerLock());
    if (outcome_ != kPending) return;
    outcome_ = outcome;
    WakeWaiters();
  }

  void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>*) const override {
    fds->push_back(fd_);
  }
  int64_t RefreshAtNs() const override { return recheckAtNs_; }
  bool Signalled() const override { return outcome_ != kPending; }
  LONG outcome() const { return outcome_; }

 private:
  // A writer appends to the log before its commit becomes visible, and nothing
  // touches a file after, so a write that shows no change yet is looked at
  // again a few times, 0.25 ms apart and then doubling, up to about 60 ms.
  void ScheduleRecheck(bool written, bool unchanged) {
    if (!unchanged) {
      recheckAtNs_ = -1;
      return;
    }
    recheckStepNs_ = written ? 250000 : recheckStepNs_ * 2;
    recheckAtNs_ = recheckStepNs_ > 32000000 ? -1 : MonotonicNs() + recheckStepNs_;
  }
  bool RecheckDue() const { return recheckAtNs_ >= 0 && MonotonicNs() >= recheckAtNs_; }

  // Drains the events; true when one concerned a file of the hive.
  bool HiveWritten() {
    bool written = false;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(fd_, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + length;) {
        auto* event = reinterpret_cast<inotify_event*>(at);
        if ((event->mask & IN_Q_OVERFLOW) || (event->len && std::string(event->name).rfind(hiveName_, 0) == 0))
          written = true;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return written;
  }

  const HKEY key_;
  const bool subtree_;
  const DWORD filter_;
  int fd_ = -1;
  std::string hiveName_;
  KeyChanges armed_;
  std::mutex readLock_;
  LONG outcome_ = kPending;
  std::atomic<int64_t> recheckAtNs_{-1};
  int64_t recheckStepNs_ = 0;
};

}  // namespace

LSTATUS RegNotifyChangeKeyValue(HKEY key, BOOL watchSubtree, DWORD notifyFilter, HANDLE event, BOOL asynchronous) {
  if (!(notifyFilter & kChangeBits) || (notifyFilter & ~(kChangeBits | REG_NOTIFY_THREAD_AGNOSTIC)) ||
      (asynchronous && !event))
    return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Event> signal;
  if (asynchronous) {
    std::lock_guard<std::mutex> lock(LayerLock());
    signal = FindHandleOf<Event>(event);
    if (!signal) return ERROR_INVALID_HANDLE;
  }
  auto wait = std::make_shared<KeyChangeWait>(key, watchSubtree, notifyFilter);
  LONG rc = wait->Arm();
  if (rc != ERROR_SUCCESS) return rc;
  if (signal) {
    signal->AddTrigger(wait);
    return ERROR_SUCCESS;
  }
  if (WaitForObjects({wait}, false, INFINITE) != WAIT_OBJECT_0) return ERROR_OPERATION_ABORTED;
  std::lock_guard<std::mutex> lock(LayerLock());
  return wait->outcome();
}
