// Opening a hive's database: where its files are, who may have made them, and
// which of them a process opens, as the hive's writer or as one of its readers.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/hive.h"
#include "platform/posix/hive/hive_files.h"
#include "platform/posix/hive/read_cache.h"
#include "platform/posix/hive/journal.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/snapshot.h"
#include "platform/posix/hive/transaction.h"
#include "platform/posix/hive/writers_line.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// The forks this process came through, counted in the child: a connection made
// before the last one belongs to the parent.
std::atomic<unsigned> g_forks{0};
[[maybe_unused]] const int g_forkCounter =
    pthread_atfork(nullptr, nullptr, [] { g_forks.fetch_add(1, std::memory_order_relaxed); });

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
  if (rc == SQLITE_OK) rc = RegisterNameOrder(connection.db);
  if (rc == SQLITE_OK) sqlite3_busy_handler(connection.db, WaitWhileBusy, &connection);
  connection.readOnly = rc == SQLITE_OK && sqlite3_db_readonly(connection.db, "main") == 1;
  return rc;
}

LONG OpenPrivate(const std::string& hive, Connection& connection) {
  LONG checked = PrepareFiles(
      hive, {{"", 0600}, {kLogSuffix, 0600}, {kLogIndexSuffix, 0600}, {kJournalSuffix, 0600}, {kSignalSuffix, 0600}});
  if (checked == ERROR_SUCCESS) checked = CheckReadable(hive);
  if (checked != ERROR_SUCCESS) return checked;
  int rc = OpenDatabase(connection, hive, kOpenFlags);
  // The log and its index stay once made, so they are never made anew by SQLite.
  int persist = 1;
  if (rc == SQLITE_OK) rc = sqlite3_file_control(connection.db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  if (rc == SQLITE_OK) rc = ChooseJournal(connection, false);
  if (rc == SQLITE_OK) rc = CreateSchemaIfMissing(connection.db);
  if (rc != SQLITE_OK) return StoreError(rc);
  if (!connection.readOnly)
    connection.writerQueue = open((hive + kSignalSuffix).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
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
  LONG checked = PrepareHiveFile(hive + kWorkingSuffix, 0600, true, &created);
  if (checked == ERROR_SUCCESS) checked = PrepareFiles(hive, {{kWorkingJournalSuffix, 0600}, {kSignalSuffix, 0644}});
  if (checked != ERROR_SUCCESS) return checked;
  struct stat info;
  bool published = lstat(hive.c_str(), &info) == 0;
  int rc = OpenDatabase(connection, hive + kWorkingSuffix, kOpenFlags);
  if (rc == SQLITE_OK) rc = ChooseJournal(connection, true);
  if (rc == SQLITE_OK && created && published) rc = Import(hive, connection.db);
  if (rc == SQLITE_OK) rc = CreateSchemaIfMissing(connection.db);
  if (rc == SQLITE_OK) connection.writerQueue = open((hive + "-writes").c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  *publish = created || !published;
  if (rc != SQLITE_OK && created) {
    // Taken over again next time, rather than published empty over the hive.
    sqlite3_close(connection.db);
    connection.db = nullptr;
    unlink((hive + kWorkingSuffix).c_str());
  }
  return rc == SQLITE_OK ? ERROR_SUCCESS : StoreError(rc);
}

// The shared hive for everyone else: the copy published last, without locks,
// or, before the first write of this version, the file as older ones left it.
LONG OpenPublished(const std::string& hive, Connection& connection) {
  LONG checked = CheckReadable(hive);
  if (checked != ERROR_SUCCESS) return checked;
  struct stat working;
  bool snapshot = lstat((hive + kWorkingSuffix).c_str(), &working) == 0;
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

// A hive of an older version is brought up to date by its first writer, as a
// write of its own (names may change).
LONG UpgradeIfOld(Connection& connection, WriteCount* count) {
  bool old = false;
  int rc = SchemaIsOld(connection.db, &old);
  if (rc == SQLITE_OK && old) {
    if (!count->Begin(connection)) return ERROR_ACCESS_DENIED;
    rc = UpgradeSchema(connection.db);
  }
  return rc == SQLITE_OK ? ERROR_SUCCESS : StoreError(rc);
}

}  // namespace

Connection::Connection() : generation(g_forks.load(std::memory_order_relaxed)) {}

Connection::~Connection() {
  // After fork() the parent's connection is left alone: closing it here could
  // disturb the locks and the log the parent still uses.
  if (!OfThisProcess()) return;
  for (sqlite3_stmt* stmt : statements) sqlite3_finalize(stmt);
  sqlite3_close(db);
  if (writerQueue >= 0) close(writerQueue);
}

bool Connection::OfThisProcess() const { return generation == g_forks.load(std::memory_order_relaxed); }

LONG Hive::Locate(std::string* real) {
  std::string located;
  LONG rc = LocateHive(path_, shared_ ? kSharedHiveFolderMode : kPrivateHiveFolderMode, &located);
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
    if (rc == ERROR_SUCCESS) cache_->Attach(made->turns);
  }
  WriteCount upgrade;  // ends once the upgraded hive is published
  if (rc == ERROR_SUCCESS && !made->readOnly) {
    rc = JoinWriters(*made);
    if (rc == ERROR_SUCCESS) rc = UpgradeIfOld(*made, &upgrade);
    publish = publish || (shared_ && upgrade.begun());
  }
  if (rc == ERROR_SUCCESS && publish) rc = Publish(*made);
  if (rc == ERROR_SUCCESS) *connection = std::move(made);
  return rc;  // a connection refused closes with `made`
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
