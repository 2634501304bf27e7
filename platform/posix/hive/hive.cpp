// The hive's pool of connections, and the sessions that lend them out.
#include "platform/posix/hive/hive.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

#include "platform/posix/common/file_descriptor.h"
#include "platform/posix/hive/connection.h"
#include "platform/posix/hive/hive_files.h"
#include "platform/posix/hive/read_cache.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/snapshot.h"
#include "platform/posix/hive/writers_line.h"

namespace korvex {
namespace posix {
namespace hive {

Hive::Hive(std::string path, bool shared)
    : path_(std::move(path)), shared_(shared), cache_(std::make_unique<ReadCache>()) {}

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
  return (location_.empty() ? path_ : location_) + kSignalSuffix;
}

LONG Hive::Acquire(std::unique_ptr<Connection>* connection) {
  std::vector<std::unique_ptr<Connection>> stale;  // closed outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!idle_.empty()) {
      std::unique_ptr<Connection> next = std::move(idle_.back());
      idle_.pop_back();
      // A reader of a published copy that was replaced since reopens.
      if (next->OfThisProcess() && Fresh(*next)) {
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
    FileDescriptor line(open((location_ + kWorkingJournalSuffix).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    bool turn = Hold(line.get(), kPublisher, F_WRLCK, true, *connection.turns);
    published = turn ? PublishSnapshot(location_ + kWorkingSuffix, location_) : ERROR_BUSY;
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

bool HiveSession::readOnly() const { return connection_ && connection_->readOnly; }

bool HiveSession::InTransaction() const { return connection_ && !sqlite3_get_autocommit(connection_->db); }

}  // namespace hive
}  // namespace posix
}  // namespace korvex
