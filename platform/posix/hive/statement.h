#ifndef KORVEX_PLATFORM_POSIX_HIVE_STATEMENT_H
#define KORVEX_PLATFORM_POSIX_HIVE_STATEMENT_H

// Statements on a hive's connection. Each text sits beside the code that reads
// its columns; its slot is where a connection keeps it prepared.
#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace hive {

class HiveSession;

enum class Slot {
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

struct Sql {
  Slot slot;
  const char* text;
};

// The statement, prepared on the session's connection on first use; NULL with
// *rc set when that fails.
sqlite3_stmt* Prepared(HiveSession& session, const Sql& sql, int* rc);

// One use of a prepared statement; it is reset when the use ends. A bind that
// fails (a text or blob SQLite cannot hold) makes Step give its error, so
// nothing half-bound ever runs.
class Statement {
public:
  Statement(HiveSession& session, const Sql& sql) : stmt_(Prepared(session, sql, &status_)) {}
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
  // Text or blob bytes; an empty blob reads as an empty text, never as NULL.
  std::string Bytes(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, column)) : std::string();
  }

private:
  bool Ready() const { return stmt_ && status_ == SQLITE_OK; }

  int status_ = SQLITE_OK;
  sqlite3_stmt* stmt_;
};

// The Win32 error for an SQLite result that is neither a row nor done.
LONG StoreError(int rc);

// Binds the key as ?1 and steps to the statement's first row, which stands for
// the key: ERROR_KEY_DELETED when there is none.
LONG StepToKeyRow(Statement& statement, int64_t key);

// Runs a statement that yields no row with one argument; ERROR_SUCCESS or the
// store's error.
LONG Execute(HiveSession& session, const Sql& sql, int64_t arg);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
