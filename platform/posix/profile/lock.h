#ifndef KORVEX_PLATFORM_POSIX_PROFILE_LOCK_H
#define KORVEX_PLATFORM_POSIX_PROFILE_LOCK_H

// The lock file "<file>.lock" by which the writers of one profile take turns.
// Whoever may open it may hold it and so stop every writer of the file: it is
// open only to those who may write the file (its owner always, who may make
// the file writable anyway), and whoever may change it keeps it so as the
// file's owner, group and mode change.
#include <sys/stat.h>

#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace profile {

// Opens the lock of the file at `path` (a path free of links), whose state is
// `file` (null while there is none), and takes it, waiting a bounded time for
// another writer: *lock is its descriptor, whose closing releases it.
// ERROR_SHARING_VIOLATION, as Windows answers for a file that another process
// holds, when the lock stays taken past the wait; ERROR_ACCESS_DENIED when the
// lock is no plain file or may not be opened.
LONG TakeProfileLock(const std::string& path, const struct stat* file, int* lock);

// Opens the lock to those who may write the file described by `file`, as far
// as this process may change it.
void ShareProfileLock(int lock, const struct stat& file);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
