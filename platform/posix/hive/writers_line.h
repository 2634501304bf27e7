#ifndef KORVEX_PLATFORM_POSIX_HIVE_WRITERS_LINE_H
#define KORVEX_PLATFORM_POSIX_HIVE_WRITERS_LINE_H

// Writers that find the hive's write lock taken wait for it in SQLite's busy
// handler, which can only poll: a crowd of them takes the processors from the
// writer they wait for, and hands the lock over by chance, so that some wait
// far longer than others. So they line up first, in a byte lock of the hive's
// `-writes` file (change_signal.h; one for each connection, as threads line up
// too; it goes with the process), and only the first polls for the write lock.
// A writer that finds no other write under way skips the line. A second byte
// is held by the one writer that checkpoints. The shared hive's publishers
// take turns in a third, of another file.
#include <sqlite3.h>
#include <sys/types.h>

#include "platform/posix/hive/connection.h"

namespace korvex {
namespace posix {
namespace hive {

enum QueueByte : off_t { kWriters, kCheckpointer, kPublisher };
static_assert(kPublisher < ChangeSignal::kLocks, "a turn count for each lock");

// Takes (F_WRLCK, F_RDLCK) or lets go of (F_UNLCK) one byte of `queue`. A wait
// ends with the time a busy call waits: false when the lock was not had.
bool Hold(int queue, QueueByte byte, short type, bool wait, ChangeSignal& turns);

void LineUp(Connection& connection);
void LeaveLine(Connection& connection);

// SQLite's busy handler for every connection.
int WaitWhileBusy(void* context, int attempt);

// SQLite's log hook for a private hive's connection: keeps the log short.
int CheckpointLongLog(void* context, sqlite3* db, const char* schema, int frames);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
