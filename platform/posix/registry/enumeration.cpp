// Enumerating and counting a key's subkeys and values.
//
// Entries are found by their place in name order. Outside a registry
// transaction, the first index reads the key's entries whole into the hive's
// cache, which answers every index while nobody writes the hive. Otherwise
// they are read a batch at a time: a walk through indexes 0, 1, 2, ... on one
// handle is answered from the batch while the hive's change signal shows that
// nothing was written since it was read, and otherwise continues after the
// last name read, as long as the key's change count says nothing was added or
// removed since; any other index, or a change in between, counts from the start.
#include <cstring>
#include <string>
#include <utility>

#include "platform/posix/registry/handle.h"
#include "platform/posix/registry/values.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// Enough entries per statement to make the cost of its read lock small beside
// the entries; the bytes bound what an idle handle keeps.
constexpr int64_t kBatchEntries = 64;
constexpr size_t kBatchBytes = 16 * 1024;

// The statements of one kind of entry: both give the key's change count in
// column 0 and the entry's name in column 1 (NULL past the last one); values
// also their type and data in columns 2 and 3.
struct EntryQueries {
  Sql at, after;
  bool values;
  EnumBatch HandleCursors::*batch;
};

constexpr EntryQueries kSubkeys{Sql::ChildAt, Sql::ChildAfter, false, &HandleCursors::subkeys};
constexpr EntryQueries kValues{Sql::ValueAt, Sql::ValueAfter, true, &HandleCursors::values};

// Reads up to `limit` entries from `index` on into `batch`: after `follow`'s
// last entry if the key has not changed since it was read, else from the start.
LONG ReadBatch(KeyCall& call, const EntryQueries& queries, DWORD index, const EnumBatch* follow, int64_t limit,
               size_t maxBytes, EnumBatch* batch) {
  for (;;) {
    Statement query(call.session(), follow ? queries.after : queries.at);
    query.Bind(1, call.ref().id);
    if (follow)
      query.Bind(2, follow->entries.back().name.c_str());
    else
      query.Bind(2, static_cast<int64_t>(index));
    query.Bind(3, limit);
    int step = query.Step();
    if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (step != SQLITE_ROW) return StoreError(step);
    if (follow && query.Int(0) != follow->stamp) {
      follow = nullptr;  // changed since: count from the start
      continue;
    }
    batch->stamp = query.Int(0);
    batch->first = index;
    size_t bytes = 0;
    for (; step == SQLITE_ROW && !query.IsNull(1) && bytes <= maxBytes; step = query.Step()) {
      EnumEntry entry;
      entry.name.assign(query.Text(1), query.Bytes(1));
      if (queries.values) {
        entry.type = static_cast<DWORD>(query.Int(2));
        entry.data.assign(static_cast<const char*>(query.Blob(3)), query.Bytes(3));
      }
      bytes += entry.name.size() + entry.data.size();
      batch->entries.push_back(std::move(entry));
    }
    if (step != SQLITE_ROW && step != SQLITE_DONE) return StoreError(step);
    batch->complete =
        step == SQLITE_ROW ? query.IsNull(1) : (limit < 0 || static_cast<int64_t>(batch->entries.size()) < limit);
    return ERROR_SUCCESS;
  }
}

LONG EntryOf(const EnumBatch& batch, DWORD index, EnumEntry* entry) {
  size_t at = index - batch.first;
  if (at >= batch.entries.size()) return ERROR_NO_MORE_ITEMS;
  *entry = batch.entries[at];
  return ERROR_SUCCESS;
}

// The entry at `index`; ERROR_NO_MORE_ITEMS past the last.
LONG FindEntry(KeyCall& call, const EntryQueries& queries, DWORD index, EnumEntry* entry) {
  ReadCache* cache = call.cache();
  if (cache) {
    if (auto known = cache->FindEntries(queries.values, call.ref().id)) {
      if (index >= known->size()) return ERROR_NO_MORE_ITEMS;
      *entry = (*known)[index];
      return ERROR_SUCCESS;
    }
  }
  HandleCursors* cursors = call.ref().cursors.get();
  ChangeSignal* counts = cursors ? &call.ref().hive->Signal() : nullptr;
  EnumBatch last;
  if (cursors) {
    std::lock_guard<std::mutex> lock(cursors->mutex);
    EnumBatch& batch = cursors->*queries.batch;
    if (batch.marked && counts->Unchanged(batch.mark) && index >= batch.first &&
        (index - batch.first < batch.entries.size() || (batch.complete && index - batch.first == batch.entries.size())))
      return EntryOf(batch, index, entry);
    bool follows = batch.stamp >= 0 && !batch.entries.empty() && index - batch.first == batch.entries.size();
    if (follows) {
      last.stamp = batch.stamp;
      last.entries.push_back(batch.entries.back());
    }
  }
  EnumBatch read;
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc != ERROR_SUCCESS) return rc;
  // Taken before the statement reads, so any write it does not see changes it.
  read.marked = call.Marked(&read.mark);
  bool whole = read.marked && index == 0;
  rc = ReadBatch(call, queries, index, last.stamp >= 0 ? &last : nullptr,
                 whole         ? -1
                 : read.marked ? kBatchEntries
                               : 1,
                 whole ? ReadCache::kMaxBytes : kBatchBytes, &read);
  if (rc != ERROR_SUCCESS) return rc;
  rc = EntryOf(read, index, entry);
  if (whole && read.complete) {
    cache->StoreEntries(read.mark, queries.values, call.ref().id, std::move(read.entries));
    read = EnumBatch();  // the cache holds them, or nobody needs them after a write
  } else if (whole && read.entries.size() > static_cast<size_t>(kBatchEntries)) {
    read.entries.resize(kBatchEntries);  // too many to keep: a batch like any other
    read.complete = false;
  }
  if (cursors) {
    std::lock_guard<std::mutex> lock(cursors->mutex);
    cursors->*queries.batch = std::move(read);
  }
  return rc;
}

LONG ReadKeyInfo(KeyCall& call, KeyInfo* info) {
  ReadCache* cache = call.cache();
  if (cache) {
    if (auto known = cache->FindInfo(call.ref().id)) {
      *info = *known;
      return ERROR_SUCCESS;
    }
  }
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc != ERROR_SUCCESS) return rc;
  Statement query(call.session(), Sql::KeyInfo);
  query.Bind(1, call.ref().id);
  int step = query.Step();
  if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (step != SQLITE_ROW) return StoreError(step);
  DWORD* figures[] = {&info->subkeys, &info->maxSubkeyName, &info->values, &info->maxValueName, &info->maxData};
  for (int column = 0; column < 5; ++column) *figures[column] = static_cast<DWORD>(query.Int(column));
  uint64_t mark = 0;
  if (call.Marked(&mark)) cache->StoreInfo(mark, call.ref().id, *info);
  return ERROR_SUCCESS;
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
  KeyCall call(hKey, KEY_ENUMERATE_SUB_KEYS);
  if (call.status() != ERROR_SUCCESS) return call.status();
  EnumEntry entry;
  LONG rc = FindEntry(call, kSubkeys, dwIndex, &entry);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD length = static_cast<DWORD>(entry.name.size());
  if (length + 1 > *lpcchName) return ERROR_MORE_DATA;
  memcpy(lpName, entry.name.c_str(), length + 1);
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
  KeyCall call(hKey, KEY_QUERY_VALUE);
  if (call.status() != ERROR_SUCCESS) return call.status();
  EnumEntry entry;
  LONG rc = FindEntry(call, kValues, dwIndex, &entry);
  if (rc != ERROR_SUCCESS) return rc;
  // Type and data are handed out even when the name does not fit; the name is
  // written only when both fit.
  rc = HandOutData(entry.type, entry.data.data(), static_cast<DWORD>(entry.data.size()), lpType, lpData, lpcbData);
  DWORD length = static_cast<DWORD>(entry.name.size());
  if (length + 1 > *lpcchValueName) return ERROR_MORE_DATA;
  if (rc != ERROR_SUCCESS) return rc;
  memcpy(lpValueName, entry.name.c_str(), length + 1);
  *lpcchValueName = length;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         LPFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_QUERY_VALUE);
  if (call.status() != ERROR_SUCCESS) return call.status();
  KeyInfo info;
  LONG rc = ReadKeyInfo(call, &info);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpClass && *lpcchClass) *lpClass = '\0';
  SetLength(lpcchClass, 0);
  SetLength(lpcSubKeys, info.subkeys);
  SetLength(lpcbMaxSubKeyLen, info.maxSubkeyName);
  SetLength(lpcbMaxClassLen, 0);
  SetLength(lpcValues, info.values);
  SetLength(lpcbMaxValueNameLen, info.maxValueName);
  SetLength(lpcbMaxValueLen, info.maxData);
  SetLength(lpcbSecurityDescriptor, 0);
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}
