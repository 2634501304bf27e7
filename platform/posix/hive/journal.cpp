#include "platform/posix/hive/journal.h"

#include <string>

#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/writers_line.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// A private hive's log is copied into the database once it holds
// kLogCopyBytes, and then starts over; a writer whose commit takes it past
// kLogLimitBytes waits for that. Each start over holds every writer off for a
// few syncs, so the log is let grow near the limit first.
constexpr int64_t kLogCopyBytes = 2 << 20;
constexpr int64_t kLogLimitBytes = 4 << 20;

}  // namespace

// WAL lets readers go on while one process writes; NORMAL sync keeps every commit
// safe from a crashed process (only a power loss can lose the last commits).
// A shared hive's working file keeps a rollback journal: its copy is published
// from the file alone. A connection that cannot write leaves the journal as it
// finds it.
int ChooseJournal(Connection& connection, bool shared) {
  if (connection.readOnly) return SQLITE_OK;
  sqlite3* db = connection.db;
  // Setting the journal can meet another process's write or checkpoint, and
  // SQLite does not wait for those there: it waits as other calls do.
  sqlite3_stmt* stmt = nullptr;
  // A shared hive's journal is kept, emptied, between writes: made once, by
  // us, it is never a name another user could fill in the meantime.
  int rc = sqlite3_prepare_v2(db, shared ? "PRAGMA journal_mode = TRUNCATE" : "PRAGMA journal_mode = WAL", -1, &stmt,
                              nullptr);
  for (int attempt = 0; rc == SQLITE_OK; ++attempt) {
    rc = sqlite3_step(stmt);
    if (rc != SQLITE_BUSY || shared || !WaitWhileBusy(&connection, attempt)) break;
    sqlite3_reset(stmt);
    rc = SQLITE_OK;
  }
  if (rc == SQLITE_ROW) {
    const unsigned char* mode = sqlite3_column_text(stmt, 0);
    // Another process may still hold an older shared hive in WAL mode: it
    // changes over when it is alone with it.
    bool wal = mode && sqlite3_stricmp(reinterpret_cast<const char*>(mode), "wal") == 0;
    rc = shared || wal ? SQLITE_OK : SQLITE_CANTOPEN;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK || shared) return rc;
  int64_t pageSize = 4096;
  rc = QueryInt(db, "PRAGMA page_size", &pageSize);
  if (rc != SQLITE_OK) return rc;
  connection.logCopyFrames = static_cast<int>(kLogCopyBytes / pageSize);
  connection.logLimitFrames = static_cast<int>(kLogLimitBytes / pageSize);
  sqlite3_wal_hook(db, CheckpointLongLog, &connection);
  std::string pragmas = "PRAGMA synchronous = NORMAL; PRAGMA journal_size_limit = " + std::to_string(kLogLimitBytes);
  return sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
