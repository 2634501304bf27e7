#include "platform/posix/hive/schema.h"

#include "platform/posix/hive/hive.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// Change counts, for watchers: keys.name_changes counts the subkeys added to and
// removed from a key; the value changes of a key are counted in a row of vals
// of its own, named by the empty blob (a blob sorts after every text name, and
// no value name is a blob), whose type column holds the count. It sits in the
// same b-tree page as the key's values, so counting costs a set no extra page.
// Counts only grow and key ids are never reused, so a subtree has changed
// exactly when its number of keys, the sum of their ids or a sum of counts has.
const char kSchema[] =
    "CREATE TABLE keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL" KORVEX_NAME_COLLATION
    ", name_changes INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(parent, name));"
    "CREATE TABLE vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL" KORVEX_NAME_COLLATION
    ", type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, name)) WITHOUT ROWID;"
    "CREATE TRIGGER key_added AFTER INSERT ON keys BEGIN"
    " INSERT INTO vals VALUES(NEW.id, X'', 0, X'');"
    " UPDATE keys SET name_changes = name_changes + 1 WHERE id = NEW.parent; END;"
    "CREATE TRIGGER key_removed AFTER DELETE ON keys BEGIN"
    " DELETE FROM vals WHERE key = OLD.id;"
    " UPDATE keys SET name_changes = name_changes + 1 WHERE id = OLD.parent; END;"
    "CREATE TRIGGER value_added AFTER INSERT ON vals WHEN typeof(NEW.name) = 'text' BEGIN"
    " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"
    "CREATE TRIGGER value_changed AFTER UPDATE ON vals WHEN typeof(NEW.name) = 'text' BEGIN"
    " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"
    "CREATE TRIGGER value_removed AFTER DELETE ON vals WHEN typeof(OLD.name) = 'text' BEGIN"
    " UPDATE vals SET type = type + 1 WHERE key = OLD.key AND name = X''; END;"
    "INSERT INTO keys(id, parent, name) VALUES(1, 0, '');"
    "PRAGMA user_version = 1;";

}  // namespace

static_assert(kRootKeyId == 1, "the root key the schema makes");

int QueryInt(sqlite3* db, const char* sql, int64_t* value) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    *value = sqlite3_column_int64(stmt, 0);
    rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  return rc;
}

// Two processes may meet an empty file at once: the schema is made under the
// write lock, by the one that still finds it missing there.
int CreateSchemaIfMissing(sqlite3* db) {
  int64_t version = 0;
  int rc = QueryInt(db, "PRAGMA user_version", &version);
  if (rc != SQLITE_OK || version != 0) return rc;
  rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = QueryInt(db, "PRAGMA user_version", &version);
  if (rc == SQLITE_OK && version == 0) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return rc;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
