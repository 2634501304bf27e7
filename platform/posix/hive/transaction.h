#ifndef KORVEX_PLATFORM_POSIX_HIVE_TRANSACTION_H
#define KORVEX_PLATFORM_POSIX_HIVE_TRANSACTION_H

// One transaction of a session, a savepoint in a nested session; rolled back
// unless committed. A write (not nested) is the one place where a write to the
// hive counts as begun, before it may commit, and as ended, when the
// transaction is over.
#include "platform/posix/hive/hive.h"

namespace korvex {
namespace posix {
namespace hive {

class Transaction {
public:
  // kWriteStatement: the one writing statement that follows is its own transaction.
  enum Kind { kRead, kWrite, kWriteStatement };
  Transaction(HiveSession& session, Kind kind);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  LONG status() const { return status_; }
  // Also ends a kWriteStatement's write, once its statement succeeded: a
  // shared hive is published then.
  LONG Commit();

private:
  HiveSession& session_;
  LONG status_;
  bool open_ = false;
  bool writing_ = false;  // counted as begun on the hive's signal
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
