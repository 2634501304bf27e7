// Values: reading, setting and deleting them one by one.
#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// One statement, so a set is one write transaction that also sees a deleted
// key; the key's count row stands for the key.
constexpr Sql kSetValue{Slot::SetValue,
                        "INSERT INTO vals(key, name, type, data) SELECT ?1, ?2, ?3, ?4"
                        " WHERE EXISTS(SELECT 1 FROM vals WHERE key = ?1 AND name = X'')"
                        " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data"};
// No row when the key is gone, a NULL type when the value is.
constexpr Sql kQueryValue{Slot::QueryValue,
                          "SELECT v.type, v.data FROM vals c LEFT JOIN vals v ON v.key = c.key AND v.name = ?2"
                          " WHERE c.key = ?1 AND c.name = X''"};
enum QueryValueColumn { kType, kData };
constexpr Sql kDeleteValue{Slot::DeleteValue, "DELETE FROM vals WHERE key = ?1 AND name = ?2"};

// Whether the statement that just ran changed a row of its own (not of a trigger's).
bool Changed(HiveSession& session) { return sqlite3_changes(session.connection()->db) != 0; }

}  // namespace

LONG ReadValue(HiveSession& session, int64_t key, const char* name, Entry* value) {
  Statement query(session, kQueryValue);
  query.Bind(2, name);
  LONG rc = StepToKeyRow(query, key);
  if (rc != ERROR_SUCCESS) return rc;
  if (query.IsNull(kType)) return ERROR_FILE_NOT_FOUND;
  value->type = static_cast<DWORD>(query.Int(kType));
  value->data = query.Bytes(kData);
  return ERROR_SUCCESS;
}

LONG CheckValueSize(HiveSession& session, uint64_t size) {
  uint64_t limit = static_cast<uint64_t>(sqlite3_limit(session.connection()->db, SQLITE_LIMIT_LENGTH, -1));
  return size < limit ? ERROR_SUCCESS : StoreError(SQLITE_TOOBIG);
}

LONG SetValue(HiveSession& session, int64_t key, const char* name, DWORD type, const void* data, DWORD size) {
  Statement set(session, kSetValue);
  set.Bind(1, key);
  set.Bind(2, name);
  set.Bind(3, static_cast<int64_t>(type));
  set.BindBlob(4, data, size);
  int step = set.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  return Changed(session) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG DeleteValue(HiveSession& session, int64_t key, const char* name) {
  Statement remove(session, kDeleteValue);
  remove.Bind(1, key);
  remove.Bind(2, name);
  int step = remove.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  if (Changed(session)) return ERROR_SUCCESS;
  LONG rc = KeyExists(session, key);
  return rc == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : rc;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
