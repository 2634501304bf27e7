#include "platform/posix/hive/transaction.h"

#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/statement.h"
#include "platform/posix/hive/writers_line.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

constexpr Sql kBegin{Slot::Begin, "BEGIN"};
constexpr Sql kBeginWrite{Slot::BeginWrite, "BEGIN IMMEDIATE"};
constexpr Sql kCommit{Slot::Commit, "COMMIT"};
constexpr Sql kRollback{Slot::Rollback, "ROLLBACK"};
constexpr Sql kSavepoint{Slot::Savepoint, "SAVEPOINT call"};
constexpr Sql kReleaseSavepoint{Slot::ReleaseSavepoint, "RELEASE call"};
constexpr Sql kRollbackToSavepoint{Slot::RollbackToSavepoint, "ROLLBACK TO call"};

}  // namespace

Transaction::Transaction(HiveSession& session, Kind kind) : session_(session) {
  bool write = kind != kRead && !session.nested();
  if (write) {
    // Before anything can commit: readers of other handles and processes must
    // not trust what they read before this write.
    // A write that could not be counted would go unseen by them: it is not made.
    ChangeSignal& signal = session.hive().Signal();
    if (!signal.BeginWrite()) {
      status_ = ERROR_ACCESS_DENIED;
      return;
    }
    writing_ = true;
    // A write that meets no other has no one to wait behind.
    if (!signal.Alone()) LineUp(*session.connection());
  }
  if (kind == kWriteStatement) {
    status_ = ERROR_SUCCESS;
    return;  // the statement is its own transaction, or step of the one it is in
  }
  Statement begin(session, session.nested() ? kSavepoint : write ? kBeginWrite : kBegin);
  int rc = begin.Step();
  if (write) LeaveLine(*session.connection());
  open_ = rc == SQLITE_DONE;
  status_ = open_ ? ERROR_SUCCESS : StoreError(rc);
}

Transaction::~Transaction() {
  if (open_ && session_.nested()) {
    // Undone, and the savepoint gone: the registry transaction goes on.
    Statement undo(session_, kRollbackToSavepoint);
    undo.Step();
    Statement release(session_, kReleaseSavepoint);
    release.Step();
  } else if (open_) {
    Statement rollback(session_, kRollback);
    rollback.Step();
  }
  if (writing_) LeaveLine(*session_.connection());
  if (writing_) session_.hive().Signal().EndWrite();
}

LONG Transaction::Commit() {
  if (status_ != ERROR_SUCCESS) return status_;
  if (open_) {  // else a single statement committed itself
    Statement commit(session_, session_.nested() ? kReleaseSavepoint : kCommit);
    int rc = commit.Step();
    if (rc != SQLITE_DONE) return StoreError(rc);  // the destructor rolls back
    open_ = false;
  }
  // Before the write counts as ended: a reader that sees the end reads the copy.
  Hive& hive = session_.hive();
  return writing_ && hive.shared() ? hive.Publish(*session_.connection()) : ERROR_SUCCESS;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
