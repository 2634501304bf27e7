// Setting, reading and deleting values.
#include "platform/posix/registry/values.h"

#include <cstring>

namespace korvex {
namespace posix {
namespace registry {

namespace {

// Looks a value up: on ERROR_SUCCESS the statement's columns 0 and 1 are its
// type and data. ERROR_FILE_NOT_FOUND or ERROR_KEY_DELETED otherwise.
LONG FindValue(Statement& query, int64_t id, const char* name) {
  query.Bind(1, id);
  query.Bind(2, name);
  int step = query.Step();
  if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (step != SQLITE_ROW) return StoreError(step);
  return query.IsNull(0) ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

}  // namespace

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

LONG SetValueOf(HiveSession& session, int64_t id, const char* name, DWORD type, const BYTE* data, DWORD size,
                bool win32Terminator) {
  // Refused before the data is touched: SQLite cannot hold it.
  if (size >= static_cast<DWORD>(sqlite3_limit(session.db(), SQLITE_LIMIT_LENGTH, -1)))
    return StoreError(SQLITE_TOOBIG);
  // As Win32 does, a string whose length left out its terminator gets it: the
  // byte after the data is looked at, as there.
  if (win32Terminator && IsStringType(type) && size && data[size - 1] && !data[size]) ++size;
  Statement set(session, Sql::SetValue);
  set.Bind(1, id);
  set.Bind(2, name);
  set.Bind(3, static_cast<int64_t>(type));
  set.BindBlob(4, data, size);
  int step = set.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  return sqlite3_changes(session.db()) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG DeleteValueOf(HiveSession& session, int64_t id, const char* name) {
  Statement remove(session, Sql::DeleteValue);
  remove.Bind(1, id);
  remove.Bind(2, name);
  int step = remove.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  if (sqlite3_changes(session.db())) return ERROR_SUCCESS;
  LONG rc = CheckKeyExists(session, id);
  return rc == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : rc;
}

LONG ReadStoredValue(KeyCall& call, int64_t id, const char* name, NameAnswer* value) {
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc != ERROR_SUCCESS) return rc;
  Statement query(call.session(), Sql::QueryValue);
  rc = FindValue(query, id, name);
  if (rc == ERROR_SUCCESS) {
    value->type = static_cast<DWORD>(query.Int(0));
    value->data.assign(static_cast<const char*>(query.Blob(1)), query.Bytes(1));
  }
  uint64_t mark = 0;
  // A missing value is kept too: options that were never set are read as often.
  if ((rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) && call.Marked(&mark)) {
    value->status = rc;
    call.cache()->Store(mark, ReadCache::Kind::kValue, id, name ? name : "", *value);
  }
  return rc;
}

LONG HandOutData(DWORD type, const void* data, DWORD size, LPDWORD typeOut, LPBYTE buffer, LPDWORD bufferSize) {
  DWORD room = bufferSize ? *bufferSize : 0;
  if (typeOut) *typeOut = type;
  if (!bufferSize) return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  *bufferSize = size;
  if (!buffer) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  if (size) memcpy(buffer, data, size);
  bool terminated = size && static_cast<const BYTE*>(data)[size - 1] == 0;
  if (room > size && IsStringType(type) && !terminated) buffer[size] = 0;
  return ERROR_SUCCESS;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_SET_VALUE, KeyCall::kWriteStatement);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG rc = SetValueOf(call.session(), call.ref().id, lpValueName, dwType, lpData, cbData, true);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE);
  if (call.status() != ERROR_SUCCESS) return call.status();
  return ReadValueOf(call, call.ref().id, lpValueName, [&](DWORD type, const void* data, DWORD size) {
    return HandOutData(type, data, size, lpType, lpData, lpcbData);
  });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  KeyCall call(hKey, KEY_SET_VALUE, KeyCall::kWrite);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG rc = DeleteValueOf(call.session(), call.ref().id, lpValueName);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}
