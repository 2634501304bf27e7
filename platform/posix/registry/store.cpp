#include "platform/posix/registry/store.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/posix/common/clock.h"
#include "platform/posix/common/file_descriptor.h"
#include "platform/posix/registry/hive_files.h"
#include "platform/posix/registry/snapshot.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// A private hive's log is copied into the database once it holds
// kLogCopyBytes, and then starts over; a writer whose commit takes it past
// kLogLimitBytes waits for that. Each start over holds every writer off for a
// few syncs, so the log is let grow near the limit first.
constexpr int64_t kLogCopyBytes = 2 << 20;
constexpr int64_t kLogLimitBytes = 4 << 20;

// Names compare with NOCASE, SQLite's ASCII folding, and keep their case.
//
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
    " name TEXT NOT NULL COLLATE NOCASE,"
    " name_changes INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(parent, name));"
    "CREATE TABLE vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
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

#define KORVEX_SUBTREE(start) \
  "WITH RECURSIVE sub(id) AS (SELECT " start " UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "

const char* const kStatements[] = {
    /* Begin */ "BEGIN",
    /* BeginWrite */ "BEGIN IMMEDIATE",
    /* Commit */ "COMMIT",
    /* Rollback */ "ROLLBACK",
    /* Savepoint */ "SAVEPOINT call",
    /* ReleaseSavepoint */ "RELEASE call",
    /* RollbackToSavepoint */ "ROLLBACK TO call",
    /* KeyExists */ "SELECT 1 FROM keys WHERE id = ?1",
    /* FindChild */ "SELECT id FROM keys WHERE parent = ?1 AND name = ?2",
    /* InsertKey */ "INSERT INTO keys(parent, name) VALUES(?1, ?2)",
    /* HasChildren */ "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    // The enumerations read the key's change count with up to ?3 entries, in
    // one statement: no row when the key is gone, a NULL name past the last entry.
    /* ChildAt */
    "SELECT k.name_changes, c.name FROM keys k LEFT JOIN"
    " (SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT ?3 OFFSET ?2) c WHERE k.id = ?1"
    " ORDER BY c.name COLLATE NOCASE",
    /* ChildAfter */
    "SELECT k.name_changes, c.name FROM keys k LEFT JOIN"
    " (SELECT name FROM keys WHERE parent = ?1 AND name > ?2 ORDER BY name LIMIT ?3) c WHERE k.id = ?1"
    " ORDER BY c.name COLLATE NOCASE",
    /* DeleteKey */ "DELETE FROM keys WHERE id = ?1",
    /* DeleteSubtree */ KORVEX_SUBTREE("?1") "DELETE FROM keys WHERE id IN sub",
    /* DeleteChildren */ KORVEX_SUBTREE("id FROM keys WHERE parent = ?1") "DELETE FROM keys WHERE id IN sub",
    /* DeleteValues */ "DELETE FROM vals WHERE key = ?1 AND name < X''",
    /* ChildrenOf */ "SELECT id, name FROM keys WHERE parent = ?1",
    /* ValuesOf */ "SELECT name, type, data FROM vals WHERE key = ?1 AND name < X''",
    // One statement, so a set is one write transaction that also sees a deleted
    // key; the key's count row stands for the key.
    /* SetValue */
    "INSERT INTO vals(key, name, type, data) SELECT ?1, ?2, ?3, ?4"
    " WHERE EXISTS(SELECT 1 FROM vals WHERE key = ?1 AND name = X'')"
    " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data",
    /* QueryValue */
    "SELECT v.type, v.data FROM vals c LEFT JOIN vals v ON v.key = c.key AND v.name = ?2"
    " WHERE c.key = ?1 AND c.name = X''",
    /* ValueAt */
    "SELECT c.type, v.name, v.type, v.data FROM vals c LEFT JOIN"
    " (SELECT name, type, data FROM vals WHERE key = ?1 AND name < X'' ORDER BY name LIMIT ?3 OFFSET ?2) v"
    " WHERE c.key = ?1 AND c.name = X'' ORDER BY v.name COLLATE NOCASE",
    /* ValueAfter */
    "SELECT c.type, v.name, v.type, v.data FROM vals c LEFT JOIN"
    " (SELECT name, type, data FROM vals WHERE key = ?1 AND name > ?2 AND name < X'' ORDER BY name LIMIT ?3) v"
    " WHERE c.key = ?1 AND c.name = X'' ORDER BY v.name COLLATE NOCASE",
    // Lengths in bytes: names are ANSI texts.
    /* KeyInfo */
    "SELECT (SELECT count(*) FROM keys WHERE parent = ?1),"
    " (SELECT max(length(CAST(name AS BLOB))) FROM keys WHERE parent = ?1),"
    " (SELECT count(*) FROM vals WHERE key = ?1 AND name < X''),"
    " (SELECT max(length(CAST(name AS BLOB))) FROM vals WHERE key = ?1 AND name < X''),"
    " (SELECT max(length(data)) FROM vals WHERE key = ?1 AND name < X'')"
    " FROM keys WHERE id = ?1",
    /* DeleteValue */ "DELETE FROM vals WHERE key = ?1 AND name = ?2",
    /* KeyChanges */
    "SELECT k.name_changes, c.type, 1, k.id FROM keys k JOIN vals c ON c.key = k.id AND c.name = X'' WHERE k.id = ?1",
    /* SubtreeChanges */
    KORVEX_SUBTREE("?1")
    "SELECT sum(k.name_changes), sum(c.type), count(*), sum(k.id) FROM sub JOIN keys k ON k.id = sub.id"
    " JOIN vals c ON c.key = k.id AND c.name = X'' HAVING count(*) > 0",
};
static_assert(sizeof(kStatements) / sizeof(kStatements[0]) == static_cast<size_t>(Sql::Count),
              "one text per statement");

#undef KORVEX_SUBTREE

// The forks this process came through, counted in the child: a connection made
// before the last one belongs to the parent.
std::atomic<unsigned> g_forks{0};
[[maybe_unused]] const int g_forkCounter =
    pthread_atfork(nullptr, nullptr, [] { g_forks.fetch_add(1, std::memory_order_relaxed); });

// Writers that find the hive's write lock taken wait for it in SQLite's busy
// handler, which can only poll: a crowd of them takes the processors from the
// writer they wait for, and hands the lock over by chance, so that some wait
// far longer than others. So they line up first, in a lock of the file beside
// the hive (one for each connection, as threads line up too; it goes with the
// process), and only the first polls for the write lock. A
// writer that finds no other write under way skips the line. A second byte of
// it is held by the one writer that checkpoints. The shared hive's publishers
// take turns in a third, of another file.
enum QueueByte : off_t { kWriters, kCheckpointer, kPublisher };
static_assert(kPublisher < ChangeSignal::kLocks, "a turn count for each lock");

// A wait ends with the time a busy call waits: false when the lock was not
// had. It naps on the hive's turn count, which letting go advances.
bool Hold(int queue, QueueByte byte, short type, bool wait, ChangeSignal& turns) {
  if (queue < 0) return false;
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = byte;
  range.l_len = 1;
  // A holder that died let go without passing the turn: its waiters find out
  // after a nap this long.
  constexpr int64_t kNapNs = 100'000'000;
  int64_t deadline = 0;
  for (;;) {
    uint32_t turn = turns.Turn(byte);  // before the try: a turn passed after it ends the nap
    if (fcntl(queue, F_OFD_SETLK, &range) == 0) {
      if (type == F_UNLCK) turns.PassTurn(byte);
      return true;
    }
    if (errno == EINTR) continue;
    if (!wait || (errno != EAGAIN && errno != EACCES)) return false;
    int64_t now = MonotonicNs();
    if (!deadline) deadline = now + kLockWaitNs;
    if (now >= deadline) return false;
    turns.AwaitTurnAfter(byte, turn, std::min(kNapNs, deadline - now));
  }
}

void LineUp(Connection& connection) {
  connection.inLine = Hold(connection.writerQueue, kWriters, F_WRLCK, true, *connection.turns);
}

void LeaveLine(Connection& connection) {
  if (connection.inLine) Hold(connection.writerQueue, kWriters, F_UNLCK, true, *connection.turns);
  connection.inLine = false;
}

// SQLite's own busy timeout sleeps in steps of up to 100 ms, which lets a crowd
// of writers starve each other; short, jittered naps keep the hive moving. A
// write lock held longer than a write takes is held by a long transaction:
// the line behind would only wait out the timeout one after the other, so the
// first leaves it, and the rest go on polling.
constexpr int64_t kLineWaitNs = 20'000'000;

int WaitWhileBusy(void* context, int attempt) {
  Connection& connection = *static_cast<Connection*>(context);
  if (attempt == 0) connection.busySince = MonotonicNs();
  int64_t waited = MonotonicNs() - connection.busySince;
  if (waited > kLineWaitNs) LeaveLine(connection);
  if (waited > kLockWaitNs) return 0;
  int64_t jitter = (MonotonicNs() / 1000) % 100;
  usleep(static_cast<useconds_t>(50 + (attempt < 10 ? attempt * 20 : 200) + jitter));
  return 1;
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

// SQLite's own checkpoints (PASSIVE) copy only what no reader still needs, and
// the log starts over only after a complete one: writers that overlap readers
// all along keep it from ever completing, and the log grows without bound. So
// the writer whose commit made the log long, unless another is at it, copies
// the bulk of it while the others go on writing (again, while they wrote much
// meanwhile), then lines up as a writer would and, its turn come, copies what
// they wrote meanwhile and has the log start over: only that short step, a
// few syncs, holds the other writers off.
int CheckpointLongLog(void* context, sqlite3* db, const char* schema, int frames) {
  Connection& connection = *static_cast<Connection*>(context);
  LeaveLine(connection);  // committed: the next writer goes on meanwhile
  int queue = connection.writerQueue;
  if (frames < connection.logCopyFrames || !connection.turns) return SQLITE_OK;
  ChangeSignal& turns = *connection.turns;
  if (!Hold(queue, kCheckpointer, F_WRLCK, false, turns)) {
    if (frames >= connection.logLimitFrames && Hold(queue, kCheckpointer, F_RDLCK, true, turns))
      Hold(queue, kCheckpointer, F_UNLCK, true, turns);  // the one at it is done
    return SQLITE_OK;
  }
  for (int round = 0; round < 3; ++round) {
    int log = 0, copied = 0;
    int rc = sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, &log, &copied);
    if (rc != SQLITE_OK || log - copied <= connection.logCopyFrames / 8) break;
  }
  LineUp(connection);
  sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
  LeaveLine(connection);
  Hold(queue, kCheckpointer, F_UNLCK, true, turns);
  return SQLITE_OK;  // the commit stands whatever the checkpoints gave
}

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

constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;

// Refuses, or makes, every file of a hive before SQLite opens any: SQLite would
// take the log, index or journal another user left there as ours.
LONG PrepareFiles(const std::string& base, std::initializer_list<std::pair<const char*, mode_t>> files) {
  for (const auto& file : files) {
    LONG rc = PrepareHiveFile(base + file.first, file.second, true);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

// A hive this user may not read (another user's, or in a folder closed to
// them) is there all the same: it is refused, not missing.
LONG CheckReadable(const std::string& path) {
  if (faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0) return ERROR_SUCCESS;
  return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
}

int OpenDatabase(Connection& connection, const std::string& path, int flags) {
  int rc = sqlite3_open_v2(path.c_str(), &connection.db, flags, nullptr);
  if (rc == SQLITE_OK) sqlite3_busy_handler(connection.db, WaitWhileBusy, &connection);
  connection.readOnly = rc == SQLITE_OK && sqlite3_db_readonly(connection.db, "main") == 1;
  return rc;
}

LONG OpenPrivate(const std::string& hive, Connection& connection) {
  LONG checked =
      PrepareFiles(hive, {{"", 0600}, {"-wal", 0600}, {"-shm", 0600}, {"-journal", 0600}, {"-writes", 0600}});
  if (checked == ERROR_SUCCESS) checked = CheckReadable(hive);
  if (checked != ERROR_SUCCESS) return checked;
  int rc = OpenDatabase(connection, hive, kOpenFlags);
  // The log and its index stay once made, so they are never made anew by SQLite.
  int persist = 1;
  if (rc == SQLITE_OK) rc = sqlite3_file_control(connection.db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  if (rc == SQLITE_OK) rc = ChooseJournal(connection, false);
  if (rc == SQLITE_OK) rc = CreateSchemaIfMissing(connection.db);
  if (rc != SQLITE_OK) return StoreError(rc);
  if (!connection.readOnly) connection.writerQueue = open((hive + "-writes").c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  return ERROR_SUCCESS;
}

// A working file made anew starts from what the hive's published file holds
// (which an older version wrote to in place).
int Import(const std::string& published, sqlite3* working) {
  sqlite3* old = nullptr;
  int rc = sqlite3_open_v2(published.c_str(), &old, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_backup* backup = sqlite3_backup_init(working, "main", old, "main");
    rc = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(working);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
    if (backup && sqlite3_backup_finish(backup) != SQLITE_OK && rc == SQLITE_OK) rc = sqlite3_errcode(working);
  }
  sqlite3_close(old);
  return rc;
}

// The shared hive for those who may write it.
LONG OpenWorking(const std::string& hive, Connection& connection, bool* publish) {
  bool created = false;
  LONG checked = PrepareHiveFile(hive + "-work", 0600, true, &created);
  if (checked == ERROR_SUCCESS) checked = PrepareFiles(hive, {{"-work-journal", 0600}, {"-writes", 0644}});
  if (checked != ERROR_SUCCESS) return checked;
  struct stat info;
  bool published = lstat(hive.c_str(), &info) == 0;
  int rc = OpenDatabase(connection, hive + "-work", kOpenFlags);
  if (rc == SQLITE_OK) rc = ChooseJournal(connection, true);
  if (rc == SQLITE_OK && created && published) rc = Import(hive, connection.db);
  if (rc == SQLITE_OK) rc = CreateSchemaIfMissing(connection.db);
  *publish = created || !published;
  if (rc != SQLITE_OK && created) {
    // Taken over again next time, rather than published empty over the hive.
    sqlite3_close(connection.db);
    connection.db = nullptr;
    unlink((hive + "-work").c_str());
  }
  return rc == SQLITE_OK ? ERROR_SUCCESS : StoreError(rc);
}

// The shared hive for everyone else: the copy published last, without locks,
// or, before the first write of this version, the file as older ones left it.
LONG OpenPublished(const std::string& hive, Connection& connection) {
  LONG checked = CheckReadable(hive);
  if (checked != ERROR_SUCCESS) return checked;
  struct stat working;
  bool snapshot = lstat((hive + "-work").c_str(), &working) == 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    struct stat before, after;
    if (stat(hive.c_str(), &before) != 0) return ERROR_CANTOPEN;
    int rc = snapshot
                 ? OpenDatabase(connection, ImmutableUri(hive),
                                SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW)
                 : OpenDatabase(connection, hive, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW);
    if (rc != SQLITE_OK) return StoreError(rc);
    // The file SQLite opened is the one that stood there before and after.
    if (stat(hive.c_str(), &after) == 0 && SameFile(before, after)) {
      connection.readOnly = true;
      connection.snapshot = snapshot;
      connection.opened = after;
      return ERROR_SUCCESS;
    }
    sqlite3_close(connection.db);
    connection.db = nullptr;
  }
  return ERROR_BUSY;  // replaced again and again
}
}  // namespace

LONG StoreError(int rc) {
  switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      return ERROR_BADDB;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_TOOBIG:
      return ERROR_CANTWRITE;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_CANTREAD;
  }
}

Connection::~Connection() {
  // After fork() the parent's connection is left alone: closing it here could
  // disturb the locks and the log the parent still uses.
  if (generation != g_forks.load(std::memory_order_relaxed)) return;
  for (sqlite3_stmt* stmt : statements) sqlite3_finalize(stmt);
  sqlite3_close(db);
  if (writerQueue >= 0) close(writerQueue);
}

Hive::Hive(std::string path, bool shared) : path_(std::move(path)), shared_(shared) {}

Hive::~Hive() = default;

std::shared_ptr<Hive> Hive::ForRoot(HKEY root) {
  static std::mutex mutex;
  static std::shared_ptr<Hive> user, machine;
  std::shared_ptr<Hive>* slot = root == HKEY_CURRENT_USER ? &user : root == HKEY_LOCAL_MACHINE ? &machine : nullptr;
  if (!slot) return nullptr;
  std::string path = HivePath(root);
  std::lock_guard<std::mutex> lock(mutex);
  // Handles into a hive that the environment no longer names keep it alive.
  if (!*slot || (*slot)->path_ != path) *slot = std::make_shared<Hive>(path, root == HKEY_LOCAL_MACHINE);
  return *slot;
}

ChangeSignal& Hive::Signal() {
  std::call_once(signalOnce_, [this] { signal_ = std::make_unique<ChangeSignal>(SignalPath()); });
  return *signal_;
}

std::string Hive::SignalPath() {
  std::lock_guard<std::mutex> lock(mutex_);
  return (location_.empty() ? path_ : location_) + "-writes";
}

LONG Hive::Acquire(std::unique_ptr<Connection>* connection) {
  std::vector<std::unique_ptr<Connection>> stale;  // closed outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unsigned generation = g_forks.load(std::memory_order_relaxed);
    while (!idle_.empty()) {
      std::unique_ptr<Connection> next = std::move(idle_.back());
      idle_.pop_back();
      // A reader of a published copy that was replaced since reopens.
      if (next->generation == generation && Fresh(*next)) {
        *connection = std::move(next);
        return ERROR_SUCCESS;
      }
      stale.push_back(std::move(next));
    }
  }
  return Connect(connection);
}

void Hive::Release(std::unique_ptr<Connection> connection) {
  // Enough for the threads that usually share a hive; more are closed.
  constexpr size_t kMaxIdle = 4;
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.size() < kMaxIdle) idle_.push_back(std::move(connection));
}

LONG Hive::Locate(std::string* real) {
  std::string located;
  LONG rc = LocateHive(path_, shared_ ? 0755 : 0700, &located);
  std::lock_guard<std::mutex> lock(mutex_);
  if (rc == ERROR_SUCCESS && location_.empty()) location_ = located;
  *real = location_;
  return rc;
}

LONG Hive::Connect(std::unique_ptr<Connection>* connection) {
  if (path_.empty()) return ERROR_CANTOPEN;  // no home folder to keep the hive in
  std::string hive;
  LONG rc = Locate(&hive);
  if (rc != ERROR_SUCCESS) return rc;
  auto made = std::make_unique<Connection>();
  made->generation = g_forks.load(std::memory_order_relaxed);
  bool publish = false;
  if (!shared_) {
    rc = OpenPrivate(hive, *made);
  } else if ((rc = PrepareHiveFile(hive, 0644, false)) == ERROR_SUCCESS) {
    bool writer = faccessat(AT_FDCWD, hive.substr(0, hive.rfind('/') + 1).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    rc = writer ? OpenWorking(hive, *made, &publish) : OpenPublished(hive, *made);
  }
  if (rc == ERROR_SUCCESS) {
    made->turns = &Signal();
    rc = made->turns->status();
    if (rc == ERROR_SUCCESS) cache_.Attach(made->turns);
  }
  if (rc == ERROR_SUCCESS && publish) rc = Publish(*made);
  if (rc == ERROR_SUCCESS) *connection = std::move(made);
  return rc;  // a connection refused closes with `made`
}

LONG Hive::Publish(Connection& connection) {
  // A read keeps every commit off until the copy is in place, so the file is
  // as the last commit left it; a long write of another's, which has yet to
  // commit, does not hold it up. Publishers then take turns in a lock of the
  // working file's journal, which only the hive's writers may open.
  int64_t version = 0;
  int rc = sqlite3_exec(connection.db, "BEGIN", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = QueryInt(connection.db, "PRAGMA user_version", &version);
  LONG published = StoreError(rc);
  if (rc == SQLITE_OK) {
    FileDescriptor line(open((location_ + "-work-journal").c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    bool turn = Hold(line.get(), kPublisher, F_WRLCK, true, *connection.turns);
    published = turn ? PublishSnapshot(location_ + "-work", location_) : ERROR_BUSY;
    if (turn) Hold(line.get(), kPublisher, F_UNLCK, true, *connection.turns);
  }
  sqlite3_exec(connection.db, "ROLLBACK", nullptr, nullptr, nullptr);
  return published;
}

bool Hive::Fresh(const Connection& connection) const {
  struct stat now;
  return !connection.snapshot || (stat(location_.c_str(), &now) == 0 && SameFile(now, connection.opened));
}

HiveSession::HiveSession(Hive& hive) : hive_(hive), status_(hive.Acquire(&owned_)) { connection_ = owned_.get(); }

HiveSession::HiveSession(HiveSession& transaction)
    : hive_(transaction.hive_), connection_(transaction.connection_), status_(transaction.status_) {}

HiveSession::~HiveSession() {
  if (owned_) hive_.Release(std::move(owned_));
}

sqlite3_stmt* HiveSession::Prepared(Sql sql, int* rc) {
  if (!connection_) {
    *rc = SQLITE_CANTOPEN;
    return nullptr;
  }
  sqlite3_stmt*& stmt = connection_->statements[static_cast<int>(sql)];
  if (!stmt)
    *rc = sqlite3_prepare_v3(connection_->db, kStatements[static_cast<int>(sql)], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                             nullptr);
  return stmt;
}

Transaction::Transaction(HiveSession& session, Kind kind) : session_(session) {
  bool write = kind != kRead && !session.nested();
  if (write) {
    // Before anything can commit: readers of other handles and processes must
    // not trust what they read before this write.
    // A write that could not be counted would go unseen by them: it is not made.
    ChangeSignal& signal = session.hive().Signal();
    if (!signal.BeginWrite()) {
      status_ = ERROR_ACCESS_DENIED;
      return;
    }
    writing_ = true;
    // A write that meets no other has no one to wait behind.
    if (!signal.Alone()) LineUp(*session.connection());
  }
  if (kind == kWriteStatement) {
    status_ = ERROR_SUCCESS;
    return;  // the statement is its own transaction, or step of the one it is in
  }
  Statement begin(session, session.nested() ? Sql::Savepoint : write ? Sql::BeginWrite : Sql::Begin);
  int rc = begin.Step();
  if (write) LeaveLine(*session.connection());
  open_ = rc == SQLITE_DONE;
  status_ = open_ ? ERROR_SUCCESS : StoreError(rc);
}

Transaction::~Transaction() {
  if (open_ && session_.nested()) {
    // Undone, and the savepoint gone: the registry transaction goes on.
    Statement undo(session_, Sql::RollbackToSavepoint);
    undo.Step();
    Statement release(session_, Sql::ReleaseSavepoint);
    release.Step();
  } else if (open_) {
    Statement rollback(session_, Sql::Rollback);
    rollback.Step();
  }
  if (writing_) LeaveLine(*session_.connection());
  if (writing_) session_.hive().Signal().EndWrite();
}

LONG Transaction::Commit() {
  if (status_ != ERROR_SUCCESS) return status_;
  if (open_) {  // else a single statement committed itself
    Statement commit(session_, session_.nested() ? Sql::ReleaseSavepoint : Sql::Commit);
    int rc = commit.Step();
    if (rc != SQLITE_DONE) return StoreError(rc);  // the destructor rolls back
    open_ = false;
  }
  // Before the write counts as ended: a reader that sees the end reads the copy.
  Hive& hive = session_.hive();
  return writing_ && hive.shared() ? hive.Publish(*session_.connection()) : ERROR_SUCCESS;
}

LONG Execute(HiveSession& session, Sql sql, int64_t arg) {
  Statement stmt(session, sql);
  stmt.Bind(1, arg);
  int rc = stmt.Step();
  return rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc);
}

LONG CheckKeyExists(HiveSession& session, int64_t id) {
  Statement exists(session, Sql::KeyExists);
  exists.Bind(1, id);
  int rc = exists.Step();
  return rc == SQLITE_ROW ? ERROR_SUCCESS : rc == SQLITE_DONE ? ERROR_KEY_DELETED : StoreError(rc);
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
