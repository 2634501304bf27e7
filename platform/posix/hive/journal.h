#ifndef KORVEX_PLATFORM_POSIX_HIVE_JOURNAL_H
#define KORVEX_PLATFORM_POSIX_HIVE_JOURNAL_H

// How a hive's database keeps its commits safe.
#include "platform/posix/hive/connection.h"

namespace korvex {
namespace posix {
namespace hive {

// Sets the journal of a newly opened connection: a write-ahead log for a
// private hive, a rollback journal for a shared one. An SQLite result.
int ChooseJournal(Connection& connection, bool shared);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
