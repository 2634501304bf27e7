#include "platform/posix/hive/writers_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/common/clock.h"

namespace korvex {
namespace posix {
namespace hive {

// It naps on the hive's turn count, which letting go advances.
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

}  // namespace hive
}  // namespace posix
}  // namespace korvex
