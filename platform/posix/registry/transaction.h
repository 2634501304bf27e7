#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_TRANSACTION_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_TRANSACTION_H

// What a transaction HANDLE stands for: a session of its own on each hive it
// touches, within BEGIN IMMEDIATE from its first use there until it commits or
// rolls back. The calls on its keys run inside it, each in a savepoint.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/hive/transaction.h"

namespace korvex {
namespace posix {
namespace registry {

class RegistryTransaction {
public:
  RegistryTransaction() = default;
  ~RegistryTransaction();  // rolls back what was not committed
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  // One call at a time uses the transaction's connections; a call may nest
  // another (a copy between two of its keys).
  std::recursive_mutex& mutex() { return mutex_; }
  // The transaction's session on the hive, begun at first use. Needs mutex().
  LONG Join(const std::shared_ptr<hive::Hive>& store, hive::HiveSession** session);
  // Commits hive after hive; ERROR_TRANSACTION_NOT_ACTIVE when already over.
  LONG Commit() { return Finish(true); }
  LONG Rollback() { return Finish(false); }

private:
  struct Part {
    std::shared_ptr<hive::Hive> hive;
    std::unique_ptr<hive::HiveSession> session;
    std::unique_ptr<hive::Transaction> transaction;
  };
  LONG Finish(bool commit);
  // An I/O error rolls back the whole transaction, not just the failed call.
  static bool RolledBack(const Part& part) { return !part.session->InTransaction(); }

  std::recursive_mutex mutex_;
  bool active_ = true;
  std::vector<Part> parts_;
};

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
