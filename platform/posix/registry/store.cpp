#include "platform/posix/registry/store.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/posix/common/clock.h"
#include "platform/posix/process/shell_folder.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// How long a call waits for another process's write to finish before it gives
// up with ERROR_BUSY.
constexpr int64_t kBusyTimeoutNs = 10'000'000'000;

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
// far longer than others. So they line up first, asleep, in a lock of the
// file beside the hive (one for each connection, as threads line up too; it
// goes with the process), and only the first polls for the write lock. A
// writer that finds no other write under way skips the line. A second byte of
// it is held by the one writer that checkpoints.
enum QueueByte : off_t { kWriters, kCheckpointer };

bool Hold(int queue, QueueByte byte, short type, bool wait) {
  if (queue < 0) return false;
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = byte;
  range.l_len = 1;
  int rc;
  while ((rc = fcntl(queue, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range)) != 0 && errno == EINTR) {
  }
  return rc == 0;
}

void LineUp(Connection& connection) { connection.inLine = Hold(connection.writerQueue, kWriters, F_WRLCK, true); }

void LeaveLine(Connection& connection) {
  if (connection.inLine) Hold(connection.writerQueue, kWriters, F_UNLCK, true);
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
  if (waited > kBusyTimeoutNs) return 0;
  int64_t jitter = (MonotonicNs() / 1000) % 100;
  usleep(static_cast<useconds_t>(50 + (attempt < 10 ? attempt * 20 : 200) + jitter));
  return 1;
}

std::string HivePath(HKEY root) {
  const char* dir = getenv("KORVEX_REGISTRY_DIR");
  bool user = root == HKEY_CURRENT_USER;
  if (dir && *dir) return std::string(dir) + (user ? "/user.db" : "/machine.db");
  if (!user) return "/etc/korvex/machine.db";
  std::string config = UserConfigFolder();
  return config.empty() ? config : config + "/korvex/user.db";
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
  if (frames < connection.logCopyFrames) return SQLITE_OK;
  if (!Hold(queue, kCheckpointer, F_WRLCK, false)) {
    if (frames >= connection.logLimitFrames && Hold(queue, kCheckpointer, F_RDLCK, true))
      Hold(queue, kCheckpointer, F_UNLCK, true);  // the one at it is done
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
  Hold(queue, kCheckpointer, F_UNLCK, true);
  return SQLITE_OK;  // the commit stands whatever the checkpoints gave
}

// WAL lets readers go on while one process writes; NORMAL sync keeps every commit
// safe from a crashed process (only a power loss can lose the last commits).
// A WAL reader needs write access to the log's index, though: a shared hive
// keeps a rollback journal, which needs none to read. A connection that cannot
// write leaves the journal as it finds it.
int ChooseJournal(Connection& connection, bool shared) {
  if (connection.readOnly) return SQLITE_OK;
  sqlite3* db = connection.db;
  // Setting the journal can meet another process's write or checkpoint, and
  // SQLite does not wait for those there: it waits as other calls do.
  sqlite3_stmt* stmt = nullptr;
  int rc =
      sqlite3_prepare_v2(db, shared ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL", -1, &stmt, nullptr);
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

// A private hive's files are created 0600 before SQLite makes them (the log and
// its index take the database's mode), and older ones are narrowed to that.
void KeepPrivate(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) close(fd);
  for (const char* suffix : {"", "-wal", "-shm", "-writes"}) {
    std::string file = path + suffix;
    struct stat info;
    if (lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077))
      chmod(file.c_str(), 0600);
  }
}

// Whoever controls the hive's folder can swap the hive for one of their own, so
// it must be a folder, not a link to one, of this user or root, that others
// may not write (unless the sticky bit keeps them from removing what is ours),
// as ssh wants its key folders. A folder that cannot be looked at is left to
// the open to fail.
LONG CheckFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat info;
  if (lstat(folder.empty() ? "/" : folder.c_str(), &info) != 0) return ERROR_SUCCESS;
  bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) && !(info.st_mode & S_ISVTX);
  bool safe = S_ISDIR(info.st_mode) && (info.st_uid == geteuid() || info.st_uid == 0) && !othersWrite;
  return safe ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
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
  std::call_once(signalOnce_,
                 [this] { signal_ = std::make_unique<ChangeSignal>(SignalPath(), shared_ ? 0644 : 0600); });
  return *signal_;
}

LONG Hive::Acquire(std::unique_ptr<Connection>* connection) {
  std::vector<std::unique_ptr<Connection>> stale;  // closed outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unsigned generation = g_forks.load(std::memory_order_relaxed);
    while (!idle_.empty()) {
      std::unique_ptr<Connection> next = std::move(idle_.back());
      idle_.pop_back();
      if (next->generation == generation) {
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

LONG Hive::Connect(std::unique_ptr<Connection>* connection) {
  if (path_.empty()) return ERROR_CANTOPEN;  // no home folder to keep the hive in
  std::string folder = path_.substr(0, path_.rfind('/'));
  MakeFolderPath(folder, shared_ ? 0755 : 0700);
  LONG checked = CheckFolder(folder);
  if (checked != ERROR_SUCCESS) return checked;
  // A hive this user may not read (another user's, or in a folder closed to
  // them) is there all the same: it is refused, not missing.
  struct stat info;
  if (stat(path_.c_str(), &info) != 0 ? errno == EACCES
                                      : faccessat(AT_FDCWD, path_.c_str(), R_OK, AT_EACCESS) != 0 && errno == EACCES)
    return ERROR_ACCESS_DENIED;
  if (!shared_) KeepPrivate(path_);
  auto made = std::make_unique<Connection>();
  made->generation = g_forks.load(std::memory_order_relaxed);
  int rc = sqlite3_open_v2(path_.c_str(), &made->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_handler(made->db, WaitWhileBusy, made.get());
    made->readOnly = sqlite3_db_readonly(made->db, "main") == 1;
    rc = ChooseJournal(*made, shared_);
  }
  if (rc == SQLITE_OK) rc = CreateSchemaIfMissing(made->db);
  if (rc != SQLITE_OK) return StoreError(rc);  // the connection closes with `made`
  if (!shared_ && !made->readOnly)
    made->writerQueue = open(SignalPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  *connection = std::move(made);
  return ERROR_SUCCESS;
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
    ChangeSignal& signal = session.hive().Signal();
    signal.BeginWrite();
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
  if (!open_) return status_;  // a single statement committed itself
  Statement commit(session_, session_.nested() ? Sql::ReleaseSavepoint : Sql::Commit);
  int rc = commit.Step();
  if (rc != SQLITE_DONE) return StoreError(rc);  // the destructor rolls back
  open_ = false;
  return ERROR_SUCCESS;
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
