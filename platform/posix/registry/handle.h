#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_HANDLE_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_HANDLE_H

// What an HKEY stands for: a key id in a hive, and the access it was opened with.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/read_cache.h"
#include "platform/posix/hive/transaction.h"
#include "platform/posix/registry/transaction.h"

namespace korvex {
namespace posix {
namespace registry {

// What the last enumeration on a handle read, in one statement: the entries
// from index `first` on. A later call may continue after the last of them;
// with `marked`, it may also answer from them for as long as the hive's change
// signal shows no write since `mark`.
struct EnumBatch {
  bool marked = false;
  uint64_t mark = 0;
  DWORD first = 0;
  hive::EntryBatch fetched;
};

struct HandleCursors {
  std::mutex mutex;
  EnumBatch subkeys, values;
};

struct KeyRef {
  std::shared_ptr<hive::Hive> hive;
  int64_t id = 0;
  REGSAM access = 0;
  std::shared_ptr<HandleCursors> cursors;            // none for the predefined keys
  std::shared_ptr<RegistryTransaction> transaction;  // none outside one

  bool Allows(REGSAM right) const { return (access & right) == right; }
};

// The predefined key a value names, known by its low 32 bits as on 64-bit
// Windows (code that keeps a key in a DWORD relies on it); NULL for others.
HKEY PredefinedKey(HKEY key);
// A predefined root key or an open handle; ERROR_INVALID_HANDLE for anything else.
LONG ResolveKey(HKEY key, KeyRef* ref);
// A new handle, valid until ReleaseHandle. Handle values are never reused.
HKEY NewHandle(KeyRef ref);
// False when the handle is not open (predefined keys are never open handles).
bool ReleaseHandle(HKEY key);

// One call on a key: the handle resolved and checked for the right the call
// needs, then the hive's connection held and, if asked, a transaction begun.
// A key in a registry transaction uses the transaction's connection, and a
// savepoint for its own transaction. status() is the first step that failed.
class KeyCall {
public:
  // kWriteStatement: one writing statement, its own transaction. Writing modes
  // fail with ERROR_ACCESS_DENIED on a hive this process may not write.
  enum Mode { kNoTransaction, kRead, kWrite, kWriteStatement };
  KeyCall(HKEY key, REGSAM right);
  KeyCall(HKEY key, REGSAM right, Mode mode) : KeyCall(key, right) { Open(mode); }
  ~KeyCall();
  KeyCall(const KeyCall&) = delete;
  KeyCall& operator=(const KeyCall&) = delete;

  // The call runs in `transaction`, whatever its key's own.
  void Enlist(std::shared_ptr<RegistryTransaction> transaction) { ref_.transaction = std::move(transaction); }
  // For calls with checks of their own between resolving and opening the hive,
  // or that may be answered without opening it. Opens once.
  LONG Open(Mode mode);
  LONG status() const { return status_; }
  const KeyRef& ref() const { return ref_; }
  hive::HiveSession& session() { return *session_; }
  // The hive's cache, for a call outside a registry transaction.
  hive::ReadCache* cache() const {
    return status_ == ERROR_SUCCESS && !ref_.transaction ? &ref_.hive->cache() : nullptr;
  }
  // The mark Open took before the call read anything: what the call reads may
  // be kept in the cache under it.
  bool Marked(uint64_t* mark) const {
    *mark = mark_;
    return marked_ && status_ == ERROR_SUCCESS;
  }
  LONG Commit() { return transaction_->Commit(); }
  // For a step that found nothing: `missing` while the key exists, else why not.
  LONG KeyGoneOr(LONG missing) {
    LONG rc = hive::KeyExists(*session_, ref_.id);
    return rc == ERROR_SUCCESS ? missing : rc;
  }

private:
  KeyRef ref_;
  LONG status_;
  bool marked_ = false;
  uint64_t mark_ = 0;
  std::unique_lock<std::recursive_mutex> joined_;  // the registry transaction's, while the call uses it
  std::optional<hive::HiveSession> session_;       // declared after ref_: the hive outlives them
  std::optional<hive::Transaction> transaction_;
};

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
