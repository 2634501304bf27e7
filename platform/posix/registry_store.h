#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_STORE_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_STORE_H

// A hive: one SQLite database holding a key tree, opened once per process and
// shared by every handle into it. Callers hold a HiveSession for the length of
// one registry call; it serialises the threads of this process on the hive's
// connection, while SQLite's locks serialise the processes.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace registry {

// Every statement the registry runs, prepared once per connection.
enum class Sql {
  Begin,
  BeginWrite,
  Commit,
  Rollback,
  KeyExists,
  FindChild,
  InsertKey,
  HasChildren,
  ChildAt,
  DeleteKey,
  DeleteSubtree,
  SetValue,
  QueryValue,
  ValueAt,
  DeleteValue,
  KeyChanges,
  SubtreeChanges,
  Count
};

// The id of a hive's root key; ids are never reused, so a handle to a deleted key
// can never reach a newer key.
constexpr int64_t kRootKeyId = 1;

class Hive {
 public:
  explicit Hive(std::string path);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // The hive a predefined root key names, at the location the environment gives
  // now. NULL for roots that have no hive here.
  static std::shared_ptr<Hive> ForRoot(HKEY root);

  const std::string& path() const { return path_; }

 private:
  friend class HiveSession;
  LONG Connect();
  void Disconnect();

  std::string path_;
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  unsigned generation_ = 0;  // a connection must not cross fork(): the child opens its own
  int64_t busySince_ = 0;
  sqlite3_stmt* statements_[static_cast<int>(Sql::Count)] = {};
};

// Exclusive use of a hive's connection for one call.
class HiveSession {
 public:
  explicit HiveSession(Hive& hive);
  HiveSession(const HiveSession&) = delete;
  HiveSession& operator=(const HiveSession&) = delete;

  // ERROR_SUCCESS when the hive could be opened.
  LONG status() const { return status_; }
  sqlite3* db() const { return hive_.db_; }
  // The statement, prepared on first use; NULL with *rc set when that fails.
  sqlite3_stmt* Prepared(Sql sql, int* rc);

 private:
  Hive& hive_;
  std::lock_guard<std::mutex> lock_;
  LONG status_;
};

// One use of a prepared statement; it is reset when the use ends.
class Statement {
 public:
  Statement(HiveSession& session, Sql sql) : stmt_(session.Prepared(sql, &prepared_)) {}
  ~Statement() {
    if (stmt_) sqlite3_reset(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
  void Bind(int index, const char* text) { sqlite3_bind_text(stmt_, index, text ? text : "", -1, SQLITE_STATIC); }
  void BindBlob(int index, const void* data, DWORD size) {
    // A null pointer would bind SQL NULL; an empty value is an empty blob.
    sqlite3_bind_blob(stmt_, index, data ? data : "", static_cast<int>(size), SQLITE_STATIC);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code, also that of a failed prepare.
  int Step() { return stmt_ ? sqlite3_step(stmt_) : prepared_; }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  const char* Text(int column) const { return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)); }
  const void* Blob(int column) const { return sqlite3_column_blob(stmt_, column); }
  DWORD Bytes(int column) const { return static_cast<DWORD>(sqlite3_column_bytes(stmt_, column)); }

 private:
  int prepared_ = SQLITE_OK;
  sqlite3_stmt* stmt_;
};

// One transaction; rolled back unless committed.
class Transaction {
 public:
  Transaction(HiveSession& session, bool write);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  LONG status() const { return status_; }
  LONG Commit();

 private:
  HiveSession& session_;
  LONG status_;
  bool open_;
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
