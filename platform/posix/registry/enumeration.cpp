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

#include "platform/posix/hive/operations.h"
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

struct EntryCursor {
  hive::EntryKind kind;
  EnumBatch HandleCursors::*batch;
};

constexpr EntryCursor kSubkeys{hive::EntryKind::kSubkeys, &HandleCursors::subkeys};
constexpr EntryCursor kValues{hive::EntryKind::kValues, &HandleCursors::values};

LONG EntryOf(const EnumBatch& batch, DWORD index, hive::Entry* entry) {
  size_t at = index - batch.first;
  if (at >= batch.fetched.entries.size()) return ERROR_NO_MORE_ITEMS;
  *entry = batch.fetched.entries[at];
  return ERROR_SUCCESS;
}

// The entry at `index`; ERROR_NO_MORE_ITEMS past the last.
LONG FindEntry(KeyCall& call, const EntryCursor& kind, DWORD index, hive::Entry* entry) {
  hive::ReadCache* cache = call.cache();
  if (cache) {
    if (auto known = cache->FindEntries(kind.kind, call.ref().id)) {
      if (index >= known->size()) return ERROR_NO_MORE_ITEMS;
      *entry = (*known)[index];
      return ERROR_SUCCESS;
    }
  }
  HandleCursors* cursors = call.ref().cursors.get();
  hive::ChangeSignal* counts = cursors ? &call.ref().hive->Signal() : nullptr;
  hive::EntryBatch last;
  if (cursors) {
    std::lock_guard<std::mutex> lock(cursors->mutex);
    const EnumBatch& batch = cursors->*kind.batch;
    const std::vector<hive::Entry>& entries = batch.fetched.entries;
    if (batch.marked && counts->Unchanged(batch.mark) && index >= batch.first &&
        (index - batch.first < entries.size() || (batch.fetched.complete && index - batch.first == entries.size())))
      return EntryOf(batch, index, entry);
    bool follows = batch.fetched.stamp >= 0 && !entries.empty() && index - batch.first == entries.size();
    if (follows) {
      last.stamp = batch.fetched.stamp;
      last.entries.push_back(entries.back());
    }
  }
  EnumBatch read;
  read.first = index;
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc != ERROR_SUCCESS) return rc;
  // Taken before the statement reads, so any write it does not see changes it.
  read.marked = call.Marked(&read.mark);
  bool whole = read.marked && index == 0;
  rc = hive::ReadEntries(call.session(), kind.kind, call.ref().id, index, last.stamp >= 0 ? &last : nullptr,
                         whole         ? -1
                         : read.marked ? kBatchEntries
                                       : 1,
                         whole ? hive::ReadCache::kMaxBytes : kBatchBytes, &read.fetched);
  if (rc != ERROR_SUCCESS) return rc;
  rc = EntryOf(read, index, entry);
  std::vector<hive::Entry>& entries = read.fetched.entries;
  if (whole && read.fetched.complete) {
    cache->StoreEntries(read.mark, kind.kind, call.ref().id, std::move(entries));
    read = EnumBatch();  // the cache holds them, or nobody needs them after a write
  } else if (whole && entries.size() > static_cast<size_t>(kBatchEntries)) {
    entries.resize(kBatchEntries);  // too many to keep: a batch like any other
  }
  if (cursors) {
    std::lock_guard<std::mutex> lock(cursors->mutex);
    cursors->*kind.batch = std::move(read);
  }
  return rc;
}

LONG ReadKeyInfo(KeyCall& call, hive::KeyInfo* info) {
  hive::ReadCache* cache = call.cache();
  if (cache) {
    if (auto known = cache->FindInfo(call.ref().id)) {
      *info = *known;
      return ERROR_SUCCESS;
    }
  }
  LONG rc = call.Open(KeyCall::kNoTransaction);
  if (rc == ERROR_SUCCESS) rc = hive::ReadKeyInfo(call.session(), call.ref().id, info);
  uint64_t mark = 0;
  if (rc == ERROR_SUCCESS && call.Marked(&mark)) cache->StoreInfo(mark, call.ref().id, *info);
  return rc;
}

void SetLength(LPDWORD length, DWORD value) {
  if (length) *length = value;
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;
namespace hive = korvex::posix::hive;

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                      LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  KeyCall call(hKey, KEY_ENUMERATE_SUB_KEYS);
  if (call.status() != ERROR_SUCCESS) return call.status();
  hive::Entry entry;
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
  hive::Entry entry;
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
  hive::KeyInfo info;
  LONG rc = ReadKeyInfo(call, &info);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpClass && *lpcchClass) *lpClass = '\0';
  SetLength(lpcchClass, 0);
  SetLength(lpcSubKeys, static_cast<DWORD>(info.subkeys));
  SetLength(lpcbMaxSubKeyLen, static_cast<DWORD>(info.longestSubkeyName));
  SetLength(lpcbMaxClassLen, 0);
  SetLength(lpcValues, static_cast<DWORD>(info.values));
  SetLength(lpcbMaxValueNameLen, static_cast<DWORD>(info.longestValueName));
  SetLength(lpcbMaxValueLen, static_cast<DWORD>(info.longestValueData));
  SetLength(lpcbSecurityDescriptor, 0);
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}
