#ifndef KORVEX_PLATFORM_POSIX_HIVE_SCHEMA_H
#define KORVEX_PLATFORM_POSIX_HIVE_SCHEMA_H

// The tables of a hive's database, made in a new one and brought up to date in
// an older one.
//
// Names compare as text/name_order.h says, in the tables' definitions alone: a
// statement that orders or finds entries by name follows its column, so a hive
// of the previous version (ASCII folding) is read as it stands. Its first writer
// brings it up to date (korvex/posix/registry.h says how colliding names are
// kept), keeping every key's id, the ids already used, and the change counts.
#include <sqlite3.h>

#include <cstdint>

// A CTE `sub` of the ids of a subtree, from the ids `start` selects.
#define KORVEX_SUBTREE(start) \
  "WITH RECURSIVE sub(id) AS (SELECT " start " UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "

namespace korvex {
namespace posix {
namespace hive {

// Makes the comparison of names the collation the tables name, on a
// connection. An SQLite result.
int RegisterNameOrder(sqlite3* db);

// Makes the tables in a database that has none yet. An SQLite result.
int CreateSchemaIfMissing(sqlite3* db);

// Whether the tables are of an older version, which UpgradeSchema brings up
// to date. An SQLite result.
int SchemaIsOld(sqlite3* db, bool* old);
int UpgradeSchema(sqlite3* db);

// The integer a one-row statement yields (a pragma). An SQLite result.
int QueryInt(sqlite3* db, const char* sql, int64_t* value);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
