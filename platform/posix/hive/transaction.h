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

// A write counted as begun on the hive's change signal, and as ended when this
// goes. Only a connection holding its share of the writers' lock (JoinWriters,
// writers_line.h) counts one, so its count is never evened away.
class WriteCount {
public:
  WriteCount() = default;
  ~WriteCount();
  WriteCount(const WriteCount&) = delete;
  WriteCount& operator=(const WriteCount&) = delete;

  // False when the write cannot be counted: it must not be made.
  bool Begin(Connection& connection);
  bool begun() const { return connection_ != nullptr; }

private:
  Connection* connection_ = nullptr;
};

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
  WriteCount count_;  // of a write, ended after everything else
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
