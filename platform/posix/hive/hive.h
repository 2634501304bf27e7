#ifndef KORVEX_PLATFORM_POSIX_HIVE_HIVE_H
#define KORVEX_PLATFORM_POSIX_HIVE_HIVE_H

// A hive: one SQLite database holding a key tree, shared by every handle into
// it. Callers hold a HiveSession for the length of one registry call; it lends
// them a connection of their own from the hive's pool, so the threads of a
// process, like processes, meet only in SQLite's locks: a thread that waits for
// another's write holds up no reader.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/hive/change_signal.h"

namespace korvex {
namespace posix {
namespace hive {

struct Connection;
class ReadCache;

// The id of a hive's root key; ids are never reused, so a handle to a deleted key
// can never reach a newer key.
constexpr int64_t kRootKeyId = 1;

class Hive {
public:
  // A private hive (the user's) is kept 0600 in a 0700 folder, with a
  // write-ahead log. A shared one (the machine's) is written by those who may
  // write its folder, to a private working file with a rollback journal, and
  // read by everyone else from the copy published after each write (snapshot.h).
  Hive(std::string path, bool shared);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // The hive a predefined root key names, at the location the environment gives
  // now. NULL for roots that have no hive here.
  static std::shared_ptr<Hive> ForRoot(HKEY root);

  const std::string& path() const { return path_; }
  bool shared() const { return shared_; }
  // What tells every process that the hive was written, and its file. Call
  // Signal with a session open, or once one was (the folder is known safe then).
  ChangeSignal& Signal();
  std::string SignalPath();
  // What this process read from the hive, while nobody wrote it since.
  ReadCache& cache() { return *cache_; }
  // Makes the shared hive's working file, which the connection writes,
  // the copy its readers read. The caller holds no transaction on it.
  LONG Publish(Connection& connection);

private:
  friend class HiveSession;
  // An idle connection, or a new one; the hive's lock is held only to take it
  // from or give it back to the pool, never while SQLite waits for a lock.
  LONG Acquire(std::unique_ptr<Connection>* connection);
  void Release(std::unique_ptr<Connection> connection);
  LONG Connect(std::unique_ptr<Connection>* connection);
  // The hive's path through checked folders free of links, fixed at first use.
  LONG Locate(std::string* real);
  bool Fresh(const Connection& connection) const;

  std::string path_;
  std::string location_;
  bool shared_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> idle_;
  std::once_flag signalOnce_;
  std::unique_ptr<ChangeSignal> signal_;
  std::unique_ptr<ReadCache> cache_;
};

// A connection of a hive for the length of one call.
class HiveSession {
public:
  explicit HiveSession(Hive& hive);
  // A call inside a registry transaction: it uses the transaction's session,
  // whose connection is within BEGIN already, and neither touches nor releases it.
  explicit HiveSession(HiveSession& transaction);
  ~HiveSession();
  HiveSession(const HiveSession&) = delete;
  HiveSession& operator=(const HiveSession&) = delete;

  // ERROR_SUCCESS when the hive could be opened.
  LONG status() const { return status_; }
  bool readOnly() const;
  // False once SQLite rolled the session's transaction back whole, as an I/O
  // error makes it do: nothing more may run in it, or that would commit alone.
  bool InTransaction() const;
  Connection* connection() const { return connection_; }
  // Inside a registry transaction: a call's own transaction is a savepoint.
  bool nested() const { return connection_ && !owned_; }
  Hive& hive() const { return hive_; }

private:
  Hive& hive_;
  std::unique_ptr<Connection> owned_;
  Connection* connection_ = nullptr;
  LONG status_;
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
