// Enumerating and counting a key's subkeys and values.
//
// Entries are found by their place in name order. A walk through indexes 0, 1,
// 2, ... on one handle continues after the name the previous call found, as
// long as the key's change count says nothing was added or removed since; any
// other index, or a change in between, counts from the start.
#include <cstring>
#include <string>

#include "platform/posix/registry_handle.h"
#include "platform/posix/registry_values.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// The statements of one kind of entry: both give the key's change count in
// column 0 and the entry's name in column 1 (NULL past the last one).
struct EntryQueries {
  Sql at, after;
  EnumCursor HandleCursors::*cursor;
};

constexpr EntryQueries kSubkeys{Sql::ChildAt, Sql::ChildAfter, &HandleCursors::subkeys};
constexpr EntryQueries kValues{Sql::ValueAt, Sql::ValueAfter, &HandleCursors::values};

// Steps `entry` to the entry at `index`; ERROR_NO_MORE_ITEMS past the last.
LONG FindEntry(KeyCall& call, const EntryQueries& queries, DWORD index, std::optional<Statement>* entry) {
  HandleCursors* cursors = call.ref().cursors.get();
  EnumCursor last;
  if (cursors) {
    std::lock_guard<std::mutex> lock(cursors->mutex);
    last = cursors->*queries.cursor;
  }
  bool follow = last.stamp >= 0 && index == last.index + 1;
  for (;;) {
    entry->emplace(call.session(), follow ? queries.after : queries.at);
    Statement& query = **entry;
    query.Bind(1, call.ref().id);
    if (follow)
      query.Bind(2, last.name.c_str());
    else
      query.Bind(2, static_cast<int64_t>(index));
    int step = query.Step();
    if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (step != SQLITE_ROW) return StoreError(step);
    if (follow && query.Int(0) != last.stamp) {
      follow = false;  // changed since: count from the start
      continue;
    }
    if (query.IsNull(1)) return ERROR_NO_MORE_ITEMS;
    if (cursors) {
      std::lock_guard<std::mutex> lock(cursors->mutex);
      EnumCursor& cursor = cursors->*queries.cursor;
      cursor.stamp = query.Int(0);
      cursor.index = index;
      cursor.name.assign(query.Text(1), query.Bytes(1));
    }
    return ERROR_SUCCESS;
  }
}

void SetLength(LPDWORD length, DWORD value) {
  if (length) *length = value;
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                      LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_ENUMERATE_SUB_KEYS, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  std::optional<Statement> entry;
  LONG rc = FindEntry(call, kSubkeys, dwIndex, &entry);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD length = entry->Bytes(1);
  if (length + 1 > *lpcchName) return ERROR_MORE_DATA;
  memcpy(lpName, entry->Text(1), length + 1);
  *lpcchName = length;
  if (lpClass && lpcchClass && *lpcchClass) *lpClass = '\0';
  SetLength(lpcchClass, 0);
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  std::optional<Statement> entry;
  LONG rc = FindEntry(call, kValues, dwIndex, &entry);
  if (rc != ERROR_SUCCESS) return rc;
  // Type and data are handed out even when the name does not fit; the name is
  // written only when both fit.
  rc = HandOutData(static_cast<DWORD>(entry->Int(2)), entry->Blob(3), entry->Bytes(3), lpType, lpData, lpcbData);
  DWORD length = entry->Bytes(1);
  if (length + 1 > *lpcchValueName) return ERROR_MORE_DATA;
  if (rc != ERROR_SUCCESS) return rc;
  memcpy(lpValueName, entry->Text(1), length + 1);
  *lpcchValueName = length;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         LPFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement info(call.session(), Sql::KeyInfo);
  info.Bind(1, call.ref().id);
  int step = info.Step();
  if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (step != SQLITE_ROW) return StoreError(step);
  if (lpClass && *lpcchClass) *lpClass = '\0';
  SetLength(lpcchClass, 0);
  SetLength(lpcSubKeys, static_cast<DWORD>(info.Int(0)));
  SetLength(lpcbMaxSubKeyLen, static_cast<DWORD>(info.Int(1)));
  SetLength(lpcbMaxClassLen, 0);
  SetLength(lpcValues, static_cast<DWORD>(info.Int(2)));
  SetLength(lpcbMaxValueNameLen, static_cast<DWORD>(info.Int(3)));
  SetLength(lpcbMaxValueLen, static_cast<DWORD>(info.Int(4)));
  SetLength(lpcbSecurityDescriptor, 0);
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}
