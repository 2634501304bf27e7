#ifndef KORVEX_TESTS_POSIX_OLD_HIVE_H
#define KORVEX_TESTS_POSIX_OLD_HIVE_H

// A user hive as the previous version wrote it: names folded in ASCII only,
// so that Ключ, ключ and Ключ (2) are three keys below Software\Uni (ids 4 to
// 6, id 7 used and gone) and Имя and имя two values of Ключ.
#include <sqlite3.h>

#include <string>

// What the hive holds once brought up to date: the key made first, and the
// value first byte by byte, keep their names; each other takes a free suffix.
constexpr char kUpgradedUni[] = "[Ключ]{Имя=a;имя (2)=b;}[ключ (2)]{}[Ключ (2) (2)]{}";

inline bool MakeOldHive(const std::string& path) {
  const char* sql =
      "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
      " name TEXT NOT NULL COLLATE NOCASE, name_changes INTEGER NOT NULL DEFAULT 0, UNIQUE(parent, name));"
      "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,"
      " data BLOB NOT NULL, PRIMARY KEY(key, name)) WITHOUT ROWID;"
      "CREATE TRIGGER key_added AFTER INSERT ON keys BEGIN INSERT INTO vals VALUES(NEW.id, X'', 0, X'');"
      " UPDATE keys SET name_changes = name_changes + 1 WHERE id = NEW.parent; END;"
      "CREATE TRIGGER key_removed AFTER DELETE ON keys BEGIN DELETE FROM vals WHERE key = OLD.id;"
      " UPDATE keys SET name_changes = name_changes + 1 WHERE id = OLD.parent; END;"
      "CREATE TRIGGER value_added AFTER INSERT ON vals WHEN typeof(NEW.name) = 'text' BEGIN"
      " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"
      "CREATE TRIGGER value_changed AFTER UPDATE ON vals WHEN typeof(NEW.name) = 'text' BEGIN"
      " UPDATE vals SET type = type + 1 WHERE key = NEW.key AND name = X''; END;"
      "CREATE TRIGGER value_removed AFTER DELETE ON vals WHEN typeof(OLD.name) = 'text' BEGIN"
      " UPDATE vals SET type = type + 1 WHERE key = OLD.key AND name = X''; END;"
      "INSERT INTO keys(id, parent, name) VALUES(1, 0, '');"
      "INSERT INTO keys(parent, name) VALUES(1, 'Software'), (2, 'Uni'), (3, 'Ключ'), (3, 'ключ'), (3, 'Ключ (2)'),"
      " (3, 'gone');"
      "DELETE FROM keys WHERE id = 7;"
      "INSERT INTO vals VALUES(4, 'имя', 1, X'6200'), (4, 'Имя', 1, X'6100');"
      "PRAGMA user_version = 1;";
  sqlite3* db = nullptr;
  bool made =
      sqlite3_open(path.c_str(), &db) == SQLITE_OK && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return made;
}

#endif
