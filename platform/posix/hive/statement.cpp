#include "platform/posix/hive/statement.h"

#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/hive.h"

namespace korvex {
namespace posix {
namespace hive {

sqlite3_stmt* Prepared(HiveSession& session, const Sql& sql, int* rc) {
  Connection* connection = session.connection();
  if (!connection) {
    *rc = SQLITE_CANTOPEN;
    return nullptr;
  }
  sqlite3_stmt*& stmt = connection->statements[static_cast<int>(sql.slot)];
  if (!stmt) *rc = sqlite3_prepare_v3(connection->db, sql.text, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  return stmt;
}

LONG StoreError(int rc) {
  switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      return ERROR_BADDB;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_TOOBIG:
      return ERROR_CANTWRITE;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_CANTREAD;
  }
}

LONG StepToKeyRow(Statement& statement, int64_t key) {
  statement.Bind(1, key);
  int step = statement.Step();
  return step == SQLITE_ROW ? ERROR_SUCCESS : step == SQLITE_DONE ? ERROR_KEY_DELETED : StoreError(step);
}

LONG Execute(HiveSession& session, const Sql& sql, int64_t arg) {
  Statement stmt(session, sql);
  stmt.Bind(1, arg);
  int rc = stmt.Step();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc);
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
