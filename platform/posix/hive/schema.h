#ifndef KORVEX_PLATFORM_POSIX_HIVE_SCHEMA_H
#define KORVEX_PLATFORM_POSIX_HIVE_SCHEMA_H

// The tables of a hive's database, and what every statement on them shares.
#include <sqlite3.h>

#include <cstdint>

// How key and value names compare, in the tables and wherever a statement
// orders entries by name. Names keep their case as written.
#define KORVEX_NAME_COLLATION " COLLATE NOCASE"  // SQLite's ASCII folding

// A CTE `sub` of the ids of a subtree, from the ids `start` selects.
#define KORVEX_SUBTREE(start) \
  "WITH RECURSIVE sub(id) AS (SELECT " start " UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "

namespace korvex {
namespace posix {
namespace hive {

// Makes the tables in a database that has none yet. An SQLite result.
int CreateSchemaIfMissing(sqlite3* db);

// The integer a one-row statement yields (a pragma). An SQLite result.
int QueryInt(sqlite3* db, const char* sql, int64_t* value);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
