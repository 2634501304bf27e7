// Reading a key's subkeys or values a batch at a time, in name order.
#include <utility>

#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// Each statement reads the key's change count with up to ?3 entries, from
// place ?2 on or after name ?2: no row when the key is gone, a NULL name past
// the last entry. Subkeys have no type and data. The outer order is the name
// column's, whichever version's tables it is read from.
constexpr Sql kChildAt{Slot::ChildAt,
                       "SELECT k.name_changes, c.name, NULL, NULL FROM keys k LEFT JOIN"
                       " (SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT ?3 OFFSET ?2) c WHERE k.id = ?1"
                       " ORDER BY c.name"};
constexpr Sql kChildAfter{Slot::ChildAfter,
                          "SELECT k.name_changes, c.name, NULL, NULL FROM keys k LEFT JOIN"
                          " (SELECT name FROM keys WHERE parent = ?1 AND name > ?2 ORDER BY name LIMIT ?3) c"
                          " WHERE k.id = ?1 ORDER BY c.name"};
constexpr Sql kValueAt{Slot::ValueAt,
                       "SELECT c.type, v.name, v.type, v.data FROM vals c LEFT JOIN"
                       " (SELECT name, type, data FROM vals WHERE key = ?1 AND name < X'' ORDER BY name"
                       " LIMIT ?3 OFFSET ?2) v WHERE c.key = ?1 AND c.name = X'' ORDER BY v.name"};
constexpr Sql kValueAfter{Slot::ValueAfter,
                          "SELECT c.type, v.name, v.type, v.data FROM vals c LEFT JOIN"
                          " (SELECT name, type, data FROM vals WHERE key = ?1 AND name > ?2 AND name < X''"
                          " ORDER BY name LIMIT ?3) v WHERE c.key = ?1 AND c.name = X'' ORDER BY v.name"};
enum EntryColumn { kStamp, kName, kType, kData };

}  // namespace

LONG ReadEntries(HiveSession& session, EntryKind kind, int64_t key, DWORD index, const EntryBatch* follow,
                 int64_t limit, size_t maxBytes, EntryBatch* batch) {
  bool values = kind == EntryKind::kValues;
  for (;;) {
    Statement query(session, values ? (follow ? kValueAfter : kValueAt) : (follow ? kChildAfter : kChildAt));
    if (follow)
      query.Bind(2, follow->entries.back().name.c_str());
    else
      query.Bind(2, static_cast<int64_t>(index));
    query.Bind(3, limit);
    LONG rc = StepToKeyRow(query, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (follow && query.Int(kStamp) != follow->stamp) {
      follow = nullptr;  // changed since: count from the start
      continue;
    }
    batch->stamp = query.Int(kStamp);
    size_t bytes = 0;
    int step = SQLITE_ROW;
    for (; step == SQLITE_ROW && !query.IsNull(kName) && bytes <= maxBytes; step = query.Step()) {
      Entry entry;
      entry.name = query.Bytes(kName);
      entry.type = static_cast<DWORD>(query.Int(kType));
      entry.data = query.Bytes(kData);
      bytes += entry.name.size() + entry.data.size();
      batch->entries.push_back(std::move(entry));
    }
    if (step != SQLITE_ROW && step != SQLITE_DONE) return StoreError(step);
    batch->complete =
        step == SQLITE_ROW ? query.IsNull(kName) : (limit < 0 || static_cast<int64_t>(batch->entries.size()) < limit);
    return ERROR_SUCCESS;
  }
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
