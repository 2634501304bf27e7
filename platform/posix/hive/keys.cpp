// Keys: finding, making and deleting them, and what they count.
#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

constexpr Sql kKeyExists{Slot::KeyExists, "SELECT 1 FROM keys WHERE id = ?1"};
constexpr Sql kFindChild{Slot::FindChild, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2"};
constexpr Sql kInsertKey{Slot::InsertKey, "INSERT INTO keys(parent, name) VALUES(?1, ?2)"};
constexpr Sql kHasChildren{Slot::HasChildren, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1"};
// The keys' values go with them (trigger key_removed).
constexpr Sql kDeleteKey{Slot::DeleteKey, "DELETE FROM keys WHERE id = ?1"};
constexpr Sql kDeleteSubtree{Slot::DeleteSubtree, KORVEX_SUBTREE("?1") "DELETE FROM keys WHERE id IN sub"};
constexpr Sql kDeleteChildren{Slot::DeleteChildren,
                              KORVEX_SUBTREE("id FROM keys WHERE parent = ?1") "DELETE FROM keys WHERE id IN sub"};
constexpr Sql kDeleteValues{Slot::DeleteValues, "DELETE FROM vals WHERE key = ?1 AND name < X''"};

// The child of that name, or 0 when there is none.
LONG FindChild(HiveSession& session, int64_t parent, const std::string& name, int64_t* child) {
  Statement find(session, kFindChild);
  find.Bind(1, parent);
  find.Bind(2, name.c_str());
  int rc = find.Step();
  *child = rc == SQLITE_ROW ? find.Int(0) : 0;
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc);
}

LONG AddChild(HiveSession& session, int64_t parent, const std::string& name, int64_t* child) {
  Statement insert(session, kInsertKey);
  insert.Bind(1, parent);
  insert.Bind(2, name.c_str());
  int rc = insert.Step();
  if (rc != SQLITE_DONE) return StoreError(rc);
  *child = sqlite3_last_insert_rowid(session.connection()->db);
  return ERROR_SUCCESS;
}

}  // namespace

LONG KeyExists(HiveSession& session, int64_t key) {
  Statement exists(session, kKeyExists);
  return StepToKeyRow(exists, key);
}

LONG FollowPath(HiveSession& session, int64_t from, const std::vector<std::string>& names, bool create, int64_t* id,
                bool* created) {
  LONG rc = KeyExists(session, from);
  *id = from;
  for (const std::string& name : names) {
    if (rc != ERROR_SUCCESS) return rc;
    int64_t child = 0;
    rc = FindChild(session, *id, name, &child);
    if (rc == ERROR_SUCCESS && !child) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      rc = AddChild(session, *id, name, &child);
      *created = true;
    }
    *id = child;
  }
  return rc;
}

LONG HasSubkeys(HiveSession& session, int64_t key, bool* has) {
  Statement children(session, kHasChildren);
  children.Bind(1, key);
  int step = children.Step();
  *has = step == SQLITE_ROW;
  return step == SQLITE_ROW || step == SQLITE_DONE ? ERROR_SUCCESS : StoreError(step);
}

LONG DeleteKey(HiveSession& session, int64_t key, bool subtree) {
  return Execute(session, subtree ? kDeleteSubtree : kDeleteKey, key);
}

LONG EmptyKey(HiveSession& session, int64_t key) {
  LONG rc = KeyExists(session, key);
  if (rc == ERROR_SUCCESS) rc = Execute(session, kDeleteChildren, key);
  if (rc == ERROR_SUCCESS) rc = Execute(session, kDeleteValues, key);
  return rc;
}

LONG Flush(HiveSession& session) {
  // Commits are in the log already; a checkpoint syncs it to disk first. One
  // that readers keep from finishing has still done that.
  int rc = sqlite3_wal_checkpoint_v2(session.connection()->db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return rc == SQLITE_OK || rc == SQLITE_BUSY ? ERROR_SUCCESS : StoreError(rc);
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
