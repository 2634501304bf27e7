// Setting, reading and deleting values.
#include "platform/posix/registry/values.h"

#include <cstring>
#include <utility>

#include "platform/posix/hive/operations.h"

namespace korvex {
namespace posix {
namespace registry {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

LONG SetValueOf(hive::HiveSession& session, int64_t id, const char* name, DWORD type, const BYTE* data, DWORD size) {
  // Refused before the data is touched: the store cannot hold it.
  LONG rc = hive::CheckValueSize(session, size);
  if (rc != ERROR_SUCCESS) return rc;
  // As Win32 does, a string whose length left out its terminator gets it: the
  // byte after the data is looked at, as there.
  if (IsStringType(type) && size && data[size - 1] && !data[size]) ++size;
  return hive::SetValue(session, id, name, type, data, size);
}

LONG ReadStoredValue(KeyCall& call, int64_t id, const char* name, hive::NameAnswer* value) {
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc != ERROR_SUCCESS) return rc;
  hive::Entry read;
  rc = hive::ReadValue(call.session(), id, name, &read);
  value->type = read.type;
  value->data = std::move(read.data);
  uint64_t mark = 0;
  // A missing value is kept too: options that were never set are read as often.
  if ((rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) && call.Marked(&mark)) {
    value->status = rc;
    call.cache()->Store(mark, hive::ReadCache::Kind::kValue, id, name ? name : "", *value);
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
namespace hive = korvex::posix::hive;

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_SET_VALUE, KeyCall::kWriteStatement);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG rc = SetValueOf(call.session(), call.ref().id, lpValueName, dwType, lpData, cbData);
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
  LONG rc = hive::DeleteValue(call.session(), call.ref().id, lpValueName);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}
