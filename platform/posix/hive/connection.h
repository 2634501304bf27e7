#ifndef KORVEX_PLATFORM_POSIX_HIVE_CONNECTION_H
#define KORVEX_PLATFORM_POSIX_HIVE_CONNECTION_H

// One connection to a hive's database with the statements prepared on it. A
// connection is used by one thread at a time.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform/posix/hive/change_signal.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {

struct Connection {
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // False after fork() in the child: the connection is the parent's.
  bool OfThisProcess() const;

  sqlite3* db = nullptr;
  unsigned generation;  // a connection must not cross fork(): the child opens its own
  int64_t busySince = 0;
  bool readOnly = false;  // the file could be opened for reading only
  bool snapshot = false;  // reads the shared hive's published copy, `opened`
  struct stat opened = {};
  int logCopyFrames = 0;          // a commit that leaves the log longer checkpoints it
  int logLimitFrames = 0;         // and one that leaves it longer still waits for that
  ChangeSignal* turns = nullptr;  // the hive's, which wakes those who wait in line
  int writerQueue = -1;           // where its writers line up, for a private hive
  bool inLine = false;            // holds its place in that line
  sqlite3_stmt* statements[static_cast<int>(Slot::Count)] = {};
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
