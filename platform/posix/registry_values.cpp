// Setting, reading, enumerating and deleting values.
#include <cstring>

#include "platform/posix/registry_handle.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// Hands value data out as Win32 does: a NULL buffer asks for the size only; a
// short buffer gets ERROR_MORE_DATA and the size it needs.
LONG CopyData(const void* data, DWORD size, LPBYTE buffer, LPDWORD bufferSize) {
  if (!bufferSize) return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD room = *bufferSize;
  *bufferSize = size;
  if (!buffer) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  if (size) memcpy(buffer, data, size);
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_SET_VALUE, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement set(call.session(), Sql::SetValue);
  set.Bind(1, call.ref().id);
  set.Bind(2, lpValueName);
  set.Bind(3, static_cast<int64_t>(dwType));
  set.BindBlob(4, lpData, cbData);
  int step = set.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  return sqlite3_changes(call.session().db()) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement query(call.session(), Sql::QueryValue);
  query.Bind(1, call.ref().id);
  query.Bind(2, lpValueName);
  int step = query.Step();
  if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (step != SQLITE_ROW) return StoreError(step);
  if (query.IsNull(0)) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = static_cast<DWORD>(query.Int(0));
  return CopyData(query.Blob(1), query.Bytes(1), lpData, lpcbData);
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE, KeyCall::kRead);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement value(call.session(), Sql::ValueAt);
  value.Bind(1, call.ref().id);
  value.Bind(2, static_cast<int64_t>(dwIndex));
  int step = value.Step();
  if (step == SQLITE_DONE) return call.KeyGoneOr(ERROR_NO_MORE_ITEMS);
  if (step != SQLITE_ROW) return StoreError(step);
  DWORD nameLength = value.Bytes(0);
  // A name that does not fit leaves the caller's length as it was.
  if (nameLength + 1 > *lpcchValueName) return ERROR_MORE_DATA;
  memcpy(lpValueName, value.Text(0), nameLength + 1);
  *lpcchValueName = nameLength;
  if (lpType) *lpType = static_cast<DWORD>(value.Int(1));
  return CopyData(value.Blob(2), value.Bytes(2), lpData, lpcbData);
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  KeyCall call(hKey, KEY_SET_VALUE, KeyCall::kWrite);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement remove(call.session(), Sql::DeleteValue);
  remove.Bind(1, call.ref().id);
  remove.Bind(2, lpValueName);
  int step = remove.Step();
  if (step != SQLITE_DONE) return StoreError(step);
  if (!sqlite3_changes(call.session().db())) return call.KeyGoneOr(ERROR_FILE_NOT_FOUND);
  return call.Commit();
}
