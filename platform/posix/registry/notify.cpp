#include <sys/inotify.h>
#include <unistd.h>

#include <iterator>
#include <string>
#include <unordered_map>

#include "korvex/platform.h"
#include "platform/posix/sync/event.h"
#include "platform/posix/files/folder_watch_pool.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/registry/changes.h"

using namespace korvex::posix;
using korvex::posix::registry::KeyChanges;

namespace {

constexpr DWORD kChangeBits =
    REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
constexpr LONG kPending = -1;

// One wait on a key: armed with the key's change counts, it looks at them
// again whenever the hive's change signal says a write ended, in whichever
// process, and ends once they moved in a way the filter names, the key is
// gone, or its handle closed.
class KeyChangeWait : public KernelObject {
public:
  KeyChangeWait(HKEY key, bool subtree, DWORD filter, std::weak_ptr<Event> signal)
      : key_(key), subtree_(subtree), filter_(filter), signal_(std::move(signal)) {}
  ~KeyChangeWait() override { files::ReturnFolderWatch(std::move(watch_)); }

  LONG Arm() {
    std::string signal;
    LONG rc = registry::SignalFilePath(key_, &signal);
    if (rc != ERROR_SUCCESS) return rc;
    size_t slash = signal.rfind('/');
    std::string folder = slash == std::string::npos ? "." : signal.substr(0, slash);
    signalName_ = signal.substr(slash == std::string::npos ? 0 : slash + 1);
    // Watching starts before the first reading, so no change falls between.
    // The folder is watched, not the file, so that a signal made anew is seen.
    if (!files::TakeFolderWatch(folder, IN_ATTRIB | IN_CREATE | IN_MOVED_TO | IN_DELETE, &watch_))
      return ERROR_NOT_ENOUGH_MEMORY;
    return registry::ReadKeyChanges(key_, subtree_, &armed_);
  }

  void Refresh() override {
    LONG outcome = kPending;
    {
      std::lock_guard<std::mutex> lock(readLock_);
      if (!WriteEnded()) return;
      KeyChanges now;
      LONG rc = registry::ReadKeyChanges(key_, subtree_, &now);
      if (rc != ERROR_SUCCESS)
        outcome = rc;
      else if (((filter_ & REG_NOTIFY_CHANGE_NAME) && now.NamesDiffer(armed_)) ||
               ((filter_ & REG_NOTIFY_CHANGE_LAST_SET) && now.ValuesDiffer(armed_)))
        outcome = ERROR_SUCCESS;
    }
    if (outcome != kPending) End(outcome);
  }

  // Called without the lock.
  void End(LONG outcome) {
    std::lock_guard<std::mutex> lock(LayerLock());
    if (outcome_ != kPending) return;
    outcome_ = outcome;
    WakeWaiters();
    if (auto signal = signal_.lock()) signal->Set();
  }

  void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>*) const override {
    fds->push_back(watch_.fd);
  }
  bool Signalled() const override { return outcome_ != kPending; }
  LONG outcome() const { return outcome_; }
  HKEY key() const { return key_; }

private:
  // Drains the events; true when one concerned the signal's file.
  bool WriteEnded() {
    bool touched = false;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(watch_.fd, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + length;) {
        auto* event = reinterpret_cast<inotify_event*>(at);
        if ((event->mask & IN_Q_OVERFLOW) || (event->len && signalName_ == event->name)) touched = true;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return touched;
  }

  const HKEY key_;
  const bool subtree_;
  const DWORD filter_;
  const std::weak_ptr<Event> signal_;  // weak: the event keeps its triggers
  files::FolderWatch watch_;
  std::string signalName_;
  KeyChanges armed_;
  std::mutex readLock_;
  LONG outcome_ = kPending;
};

// The waits begun on each key handle, which closing the handle ends.
struct WaitsByKey {
  std::mutex mutex;
  std::unordered_multimap<HKEY, std::weak_ptr<KeyChangeWait>> waits;
};

WaitsByKey& Waits() {
  static WaitsByKey* waits = new WaitsByKey;  // outlives static destruction
  return *waits;
}

void Track(const std::shared_ptr<KeyChangeWait>& wait) {
  WaitsByKey& table = Waits();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto range = table.waits.equal_range(wait->key());
  for (auto at = range.first; at != range.second;) at = at->second.expired() ? table.waits.erase(at) : std::next(at);
  table.waits.emplace(wait->key(), wait);
}

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
  auto wait = std::make_shared<KeyChangeWait>(key, watchSubtree, notifyFilter, signal);
  LONG rc = wait->Arm();
  if (rc != ERROR_SUCCESS) return rc;
  Track(wait);
  if (signal) {
    {
      // As Win32 does: a signal from before the call is no change.
      std::lock_guard<std::mutex> lock(LayerLock());
      signal->Reset();
    }
    signal->AddTrigger(wait);
    return ERROR_SUCCESS;
  }
  if (WaitForObjects({wait}, false, INFINITE) != WAIT_OBJECT_0) return ERROR_OPERATION_ABORTED;
  std::lock_guard<std::mutex> lock(LayerLock());
  return wait->outcome();
}

namespace korvex {
namespace posix {
namespace registry {

// As Win32 does, closing the key signals the events of its waits; a blocking
// wait returns as they do.
void EndKeyWaits(HKEY key) {
  std::vector<std::shared_ptr<KeyChangeWait>> ending;
  {
    WaitsByKey& table = Waits();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto range = table.waits.equal_range(key);
    for (auto at = range.first; at != range.second; ++at)
      if (auto wait = at->second.lock()) ending.push_back(std::move(wait));
    table.waits.erase(key);
  }
  for (auto& wait : ending) wait->End(ERROR_SUCCESS);
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
