#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_STORE_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_STORE_H

// A hive: one SQLite database holding a key tree, shared by every handle into
// it. Callers hold a HiveSession for the length of one registry call; it lends
// them a connection of their own from the hive's pool, so the threads of a
// process, like processes, meet only in SQLite's locks: a thread that waits for
// another's write holds up no reader.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/registry/change_signal.h"
#include "platform/posix/registry/read_cache.h"

namespace korvex {
namespace posix {
namespace registry {

// Every statement the registry runs, prepared once per connection.
enum class Sql {
  Begin,
  BeginWrite,
  Commit,
  Rollback,
  Savepoint,
  ReleaseSavepoint,
  RollbackToSavepoint,
  KeyExists,
  FindChild,
  InsertKey,
  HasChildren,
  ChildAt,
  ChildAfter,
  DeleteKey,
  DeleteSubtree,
  DeleteChildren,
  DeleteValues,
  ChildrenOf,
  ValuesOf,
  SetValue,
  QueryValue,
  ValueAt,
  ValueAfter,
  KeyInfo,
  DeleteValue,
  KeyChanges,
  SubtreeChanges,
  Count
};

// The id of a hive's root key; ids are never reused, so a handle to a deleted key
// can never reach a newer key.
constexpr int64_t kRootKeyId = 1;

// One connection to a hive's database with the statements prepared on it. A
// connection is used by one thread at a time.
struct Connection {
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* db = nullptr;
  unsigned generation = 0;  // a connection must not cross fork(): the child opens its own
  int64_t busySince = 0;
  bool readOnly = false;  // the file could be opened for reading only
  bool snapshot = false;  // reads the shared hive's published copy, `opened`
  struct stat opened = {};
  int logCopyFrames = 0;          // a commit that leaves the log longer checkpoints it
  int logLimitFrames = 0;         // and one that leaves it longer still waits for that
  ChangeSignal* turns = nullptr;  // the hive's, which wakes those who wait in line
  int writerQueue = -1;           // where its writers line up, for a private hive
  bool inLine = false;            // holds its place in that line
  sqlite3_stmt* statements[static_cast<int>(Sql::Count)] = {};
};

class Hive {
public:
  // A private hive (the user's) is kept 0600 in a 0700 folder, with a
  // write-ahead log. A shared one (the machine's) is written by those who may
  // write its folder, to a private working file with a rollback journal, and
  // read by everyone else from the copy published after each write (snapshot.h).
  Hive(std::string path, bool shared);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // The hive a predefined root key names, at the location the environment gives
  // now. NULL for roots that have no hive here.
  static std::shared_ptr<Hive> ForRoot(HKEY root);

  const std::string& path() const { return path_; }
  bool shared() const { return shared_; }
  // What tells every process that the hive was written, and its file. Call
  // Signal with a session open, or once one was (the folder is known safe then).
  ChangeSignal& Signal();
  std::string SignalPath();
  // What this process read from the hive, while nobody wrote it since.
  ReadCache& cache() { return cache_; }
  // Makes the shared hive's working file, which the connection writes,
  // the copy its readers read. The caller holds no transaction on it.
  LONG Publish(Connection& connection);

private:
  friend class HiveSession;
  // An idle connection, or a new one; the hive's lock is held only to take it
  // from or give it back to the pool, never while SQLite waits for a lock.
  LONG Acquire(std::unique_ptr<Connection>* connection);
  void Release(std::unique_ptr<Connection> connection);
  LONG Connect(std::unique_ptr<Connection>* connection);
  // The hive's path through checked folders free of links, fixed at first use.
  LONG Locate(std::string* real);
  bool Fresh(const Connection& connection) const;

  std::string path_;
  std::string location_;
  bool shared_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> idle_;
  std::once_flag signalOnce_;
  std::unique_ptr<ChangeSignal> signal_;
  ReadCache cache_;
};

// A connection of a hive for the length of one call.
class HiveSession {
public:
  explicit HiveSession(Hive& hive);
  // A call inside a registry transaction: it uses the transaction's session,
  // whose connection is within BEGIN already, and neither touches nor releases it.
  explicit HiveSession(HiveSession& transaction);
  ~HiveSession();
  HiveSession(const HiveSession&) = delete;
  HiveSession& operator=(const HiveSession&) = delete;

  // ERROR_SUCCESS when the hive could be opened.
  LONG status() const { return status_; }
  sqlite3* db() const { return connection_ ? connection_->db : nullptr; }
  bool readOnly() const { return connection_ && connection_->readOnly; }
  Connection* connection() const { return connection_; }
  // Inside a registry transaction: a call's own transaction is a savepoint.
  bool nested() const { return connection_ && !owned_; }
  Hive& hive() const { return hive_; }
  // The statement, prepared on first use; NULL with *rc set when that fails.
  sqlite3_stmt* Prepared(Sql sql, int* rc);

private:
  Hive& hive_;
  std::unique_ptr<Connection> owned_;
  Connection* connection_ = nullptr;
  LONG status_;
};

// One use of a prepared statement; it is reset when the use ends. A bind that
// fails (a text or blob SQLite cannot hold) makes Step give its error, so
// nothing half-bound ever runs.
class Statement {
public:
  Statement(HiveSession& session, Sql sql) : stmt_(session.Prepared(sql, &status_)) {}
  ~Statement() {
    if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, int64_t value) {
    if (Ready()) status_ = sqlite3_bind_int64(stmt_, index, value);
  }
  void Bind(int index, const char* text) {
    if (!text) text = "";
    if (Ready()) status_ = sqlite3_bind_text64(stmt_, index, text, strlen(text), SQLITE_STATIC, SQLITE_UTF8);
  }
  // A null pointer would bind SQL NULL; an empty value is an empty blob.
  void BindBlob(int index, const void* data, uint64_t size) {
    if (Ready()) status_ = sqlite3_bind_blob64(stmt_, index, data ? data : "", size, SQLITE_STATIC);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code, also that of a failed prepare or bind.
  int Step() { return Ready() ? sqlite3_step(stmt_) : status_; }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  const char* Text(int column) const { return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)); }
  const void* Blob(int column) const { return sqlite3_column_blob(stmt_, column); }
  DWORD Bytes(int column) const { return static_cast<DWORD>(sqlite3_column_bytes(stmt_, column)); }

private:
  bool Ready() const { return stmt_ && status_ == SQLITE_OK; }

  int status_ = SQLITE_OK;
  sqlite3_stmt* stmt_;
};

// One transaction, a savepoint in a nested session; rolled back unless committed.
// A write (not nested) is the one place where a write to the hive counts as
// begun, before it may commit, and as ended, when the transaction is over.
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

// The Win32 error for an SQLite result that is neither a row nor done.
LONG StoreError(int rc);

// Runs a statement that yields no row; ERROR_SUCCESS or the store's error.
LONG Execute(HiveSession& session, Sql sql, int64_t arg);

// ERROR_SUCCESS if the key exists, ERROR_KEY_DELETED if it is gone.
LONG CheckKeyExists(HiveSession& session, int64_t id);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
