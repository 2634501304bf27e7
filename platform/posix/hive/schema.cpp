#include "platform/posix/hive/schema.h"

#include <string>
#include <string_view>

#include "platform/posix/hive/hive.h"
#include "platform/posix/text/name_order.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// The collation of names, as the tables name it.
#define KORVEX_NAME_COLLATION "korvex_name"

// The version the tables below make; version 1 compared names by ASCII folding.
#define KORVEX_VERSION 2
#define KORVEX_QUOTE(text) #text
#define KORVEX_VERSION_PRAGMA(version) "PRAGMA user_version = " KORVEX_QUOTE(version) ";"
constexpr int64_t kVersion = KORVEX_VERSION;

// Change counts, for watchers: keys.name_changes counts the subkeys added to and
// removed from a key; the value changes of a key are counted in a row of vals
// of its own, named by the empty blob (a blob sorts after every text name, and
// no value name is a blob), whose type column holds the count. It sits in the
// same b-tree page as the key's values, so counting costs a set no extra page.
// Counts only grow and key ids are never reused, so a subtree has changed
// exactly when its number of keys, the sum of their ids or a sum of counts has.
#define KORVEX_KEYS_TABLE(table)                       \
  "CREATE TABLE " table                                \
  "("                                                  \
  " id INTEGER PRIMARY KEY AUTOINCREMENT,"             \
  " parent INTEGER NOT NULL,"                          \
  " name TEXT NOT NULL COLLATE " KORVEX_NAME_COLLATION \
  ","                                                  \
  " name_changes INTEGER NOT NULL DEFAULT 0,"          \
  " UNIQUE(parent, name));"
#define KORVEX_VALS_TABLE(table)                       \
  "CREATE TABLE " table                                \
  "("                                                  \
  " key INTEGER NOT NULL,"                             \
  " name TEXT NOT NULL COLLATE " KORVEX_NAME_COLLATION \
  ","                                                  \
  " type INTEGER NOT NULL,"                            \
  " data BLOB NOT NULL,"                               \
  " PRIMARY KEY(key, name)) WITHOUT ROWID;"
#define KORVEX_TRIGGERS                                                                    \
  "CREATE TRIGGER key_added AFTER INSERT ON keys BEGIN"                                    \
  " INSERT INTO vals VALUES(NEW.id, X'', 0, X'');"                                         \
  " UPDATE keys SET name_changes = name_changes + 1 WHERE id = NEW.parent; END;"           \
  "CREATE TRIGGER key_removed AFTER DELETE ON keys BEGIN"                                  \
  " DELETE FROM vals WHERE key = OLD.id;"                                                  \
  " UPDATE keys SET name_changes = name_changes + 1 WHERE id = OLD.parent; END;"           \
  "CREATE TRIGGER value_added AFTER INSERT ON vals WHEN typeof(NEW.name) = 'text' BEGIN"   \
  " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"              \
  "CREATE TRIGGER value_changed AFTER UPDATE ON vals WHEN typeof(NEW.name) = 'text' BEGIN" \
  " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"              \
  "CREATE TRIGGER value_removed AFTER DELETE ON vals WHEN typeof(OLD.name) = 'text' BEGIN" \
  " UPDATE vals SET type = type + 1 WHERE key = OLD.key AND name = X''; END;"

const char kSchema[] = KORVEX_KEYS_TABLE("keys") KORVEX_VALS_TABLE("vals") KORVEX_TRIGGERS
    "INSERT INTO keys(id, parent, name) VALUES(1, 0, '');" KORVEX_VERSION_PRAGMA(KORVEX_VERSION);

// SQLite's way to change a table's definition: new tables, filled from the old
// ones, which then go with their triggers; the new take their names and get
// the triggers anew. The ids already used stay used.
const char kNewTables[] = KORVEX_KEYS_TABLE("new_keys") KORVEX_VALS_TABLE("new_vals");
const char kReplaceTables[] =
    "UPDATE sqlite_sequence SET seq = max(seq, coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'keys'), 0))"
    " WHERE name = 'new_keys';"
    "DROP TABLE vals; DROP TABLE keys;"
    "ALTER TABLE new_keys RENAME TO keys; ALTER TABLE new_vals RENAME TO vals;" KORVEX_TRIGGERS KORVEX_VERSION_PRAGMA(
        KORVEX_VERSION);

constexpr char kNameCollation[] = KORVEX_NAME_COLLATION;

#undef KORVEX_KEYS_TABLE
#undef KORVEX_NAME_COLLATION
#undef KORVEX_VALS_TABLE
#undef KORVEX_TRIGGERS
#undef KORVEX_VERSION_PRAGMA
#undef KORVEX_QUOTE
#undef KORVEX_VERSION

// Copies every row that `select` yields into `insert`, column for column, in
// the order selected; a name (column `name`) that is taken now takes the first
// free suffix " (2)", " (3)", ...
int CopyKeepingEveryName(sqlite3* db, const char* select, const char* insert, int name) {
  sqlite3_stmt *from = nullptr, *to = nullptr;
  int rc = sqlite3_prepare_v2(db, select, -1, &from, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, insert, -1, &to, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(from)) == SQLITE_ROW) {
    for (int column = 0; column < sqlite3_column_count(from); ++column)
      sqlite3_bind_value(to, column + 1, sqlite3_column_value(from, column));
    for (int suffix = 2; (rc = sqlite3_step(to)) == SQLITE_CONSTRAINT; ++suffix) {
      sqlite3_reset(to);
      const unsigned char* original = sqlite3_column_text(from, name);
      std::string renamed =
          std::string(original ? reinterpret_cast<const char*>(original) : "") + " (" + std::to_string(suffix) + ")";
      sqlite3_bind_text(to, name + 1, renamed.c_str(), -1, SQLITE_TRANSIENT);
    }
    rc = rc == SQLITE_DONE ? sqlite3_reset(to) : rc;
  }
  sqlite3_finalize(from);
  sqlite3_finalize(to);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int CompareCollated(void*, int aSize, const void* a, int bSize, const void* b) {
  return text::CompareNames(std::string_view(static_cast<const char*>(a), aSize),
                            std::string_view(static_cast<const char*>(b), bSize));
}

int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// `change` under the write lock, once `version` is still what the file holds
// there: another process may have been at it first.
int ChangeVersion(sqlite3* db, int64_t version, int (*change)(sqlite3*)) {
  int rc = Exec(db, "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return rc;
  int64_t now = 0;
  rc = QueryInt(db, "PRAGMA user_version", &now);
  if (rc == SQLITE_OK && now == version) rc = change(db);
  if (rc == SQLITE_OK) rc = Exec(db, "COMMIT");
  if (rc != SQLITE_OK) Exec(db, "ROLLBACK");
  return rc;
}

int Create(sqlite3* db) { return Exec(db, kSchema); }

int Upgrade(sqlite3* db) {
  int rc = Exec(db, kNewTables);
  if (rc == SQLITE_OK)
    rc = CopyKeepingEveryName(db, "SELECT id, parent, name, name_changes FROM keys ORDER BY id",
                              "INSERT INTO new_keys(id, parent, name, name_changes) VALUES(?1, ?2, ?3, ?4)", 2);
  // A key's change count row (a blob name) sorts after its values.
  if (rc == SQLITE_OK)
    rc = CopyKeepingEveryName(db, "SELECT key, name, type, data FROM vals ORDER BY key, name COLLATE BINARY",
                              "INSERT INTO new_vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)", 1);
  return rc == SQLITE_OK ? Exec(db, kReplaceTables) : rc;
}

}  // namespace

static_assert(kRootKeyId == 1, "the root key the schema makes");

int RegisterNameOrder(sqlite3* db) {
  return sqlite3_create_collation_v2(db, kNameCollation, SQLITE_UTF8, nullptr, CompareCollated, nullptr);
}

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
  return rc != SQLITE_OK || version != 0 ? rc : ChangeVersion(db, 0, Create);
}

int SchemaIsOld(sqlite3* db, bool* old) {
  int64_t version = 0;
  int rc = QueryInt(db, "PRAGMA user_version", &version);
  *old = rc == SQLITE_OK && version < kVersion;
  return rc;
}

int UpgradeSchema(sqlite3* db) { return ChangeVersion(db, kVersion - 1, Upgrade); }

}  // namespace hive
}  // namespace posix
}  // namespace korvex
