#include "platform/posix/registry/handle.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace korvex {
namespace posix {
namespace registry {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, KeyRef> open;
  // Even values well clear of the predefined keys and of NULL.
  uintptr_t next = 0x10000;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;  // outlives static destruction
  return *table;
}

}  // namespace

HKEY PredefinedKey(HKEY key) {
  DWORD low = static_cast<DWORD>(reinterpret_cast<uintptr_t>(key));
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS})
    if (low == static_cast<DWORD>(reinterpret_cast<uintptr_t>(root))) return root;
  return nullptr;
}

LONG ResolveKey(HKEY key, KeyRef* ref) {
  if (HKEY root = PredefinedKey(key)) {
    ref->hive = hive::Hive::ForRoot(root);
    if (!ref->hive) return ERROR_INVALID_HANDLE;
    ref->id = hive::kRootKeyId;
    ref->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.open.find(reinterpret_cast<uintptr_t>(key));
  if (found == table.open.end()) return ERROR_INVALID_HANDLE;
  *ref = found->second;
  return ERROR_SUCCESS;
}

HKEY NewHandle(KeyRef ref) {
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  uintptr_t value = table.next;
  table.next += 2;
  ref.cursors = std::make_shared<HandleCursors>();
  table.open.emplace(value, std::move(ref));
  return reinterpret_cast<HKEY>(value);
}

bool ReleaseHandle(HKEY key) {
  KeyRef released;  // the hive may close when its last handle goes: outside the lock
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.open.find(reinterpret_cast<uintptr_t>(key));
  if (found == table.open.end()) return false;
  released = std::move(found->second);
  table.open.erase(found);
  return true;
}

KeyCall::KeyCall(HKEY key, REGSAM right) : status_(ResolveKey(key, &ref_)) {
  if (status_ == ERROR_SUCCESS && !ref_.Allows(right)) status_ = ERROR_ACCESS_DENIED;
}

LONG KeyCall::Open(Mode mode) {
  if (status_ != ERROR_SUCCESS || session_) return status_;
  // Before the session: a reader of a published copy takes the copy then.
  if (!ref_.transaction) marked_ = ref_.hive->cache().Mark(&mark_);
  if (ref_.transaction) {
    // The transaction counts its writes as one, from its first use of the hive.
    joined_ = std::unique_lock<std::recursive_mutex>(ref_.transaction->mutex());
    hive::HiveSession* joined = nullptr;
    status_ = ref_.transaction->Join(ref_.hive, &joined);
    if (status_ != ERROR_SUCCESS) return status_;
    session_.emplace(*joined);
  } else {
    session_.emplace(*ref_.hive);
    status_ = session_->status();
  }
  bool writes = mode == kWrite || mode == kWriteStatement;
  if (status_ == ERROR_SUCCESS && writes && session_->readOnly()) status_ = ERROR_ACCESS_DENIED;
  if (status_ == ERROR_SUCCESS && mode != kNoTransaction) {
    transaction_.emplace(*session_, mode == kRead    ? hive::Transaction::kRead
                                    : mode == kWrite ? hive::Transaction::kWrite
                                                     : hive::Transaction::kWriteStatement);
    status_ = transaction_->status();
  }
  return status_;
}

KeyCall::~KeyCall() { transaction_.reset(); }

}  // namespace registry
}  // namespace posix
}  // namespace korvex
