#include "platform/posix/sync/event.h"

#include <algorithm>

using namespace korvex::posix;

namespace korvex {
namespace posix {

void Event::AddTrigger(std::shared_ptr<KernelObject> trigger) {
  std::lock_guard<std::mutex> lock(LayerLock());
  triggers_.push_back(std::move(trigger));
  WakeWaiters();  // they must sleep on its descriptors too
}

void Event::Refresh() {
  std::vector<std::shared_ptr<KernelObject>> triggers;
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    triggers = triggers_;
  }
  for (auto& trigger : triggers) trigger->Refresh();
  std::lock_guard<std::mutex> lock(LayerLock());
  for (auto& trigger : triggers) {
    if (!trigger->Signalled()) continue;
    triggers_.erase(std::remove(triggers_.begin(), triggers_.end(), trigger), triggers_.end());
    Set();
  }
}

void Event::CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>* keep) const {
  for (auto& trigger : triggers_) {
    trigger->CollectFds(fds, keep);
    keep->push_back(trigger);
  }
}

void Event::Acquire() {
  if (!manualReset_) signalled_ = false;
}

void Event::Set() {
  signalled_ = true;
  WakeWaiters();
}

}  // namespace posix
}  // namespace korvex

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return AddHandle(std::make_shared<Event>(manualReset, initialState));
}

namespace {

BOOL Change(HANDLE handle, bool set) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto event = FindHandleOf<Event>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (set)
    event->Set();
  else
    event->Reset();
  return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event) { return Change(event, true); }
BOOL ResetEvent(HANDLE event) { return Change(event, false); }
