#ifndef KORVEX_PLATFORM_POSIX_HIVE_SNAPSHOT_H
#define KORVEX_PLATFORM_POSIX_HIVE_SNAPSHOT_H

// The shared hive as its readers see it. Its writers keep the working database
// private (`<hive>-work`), so no one else can take a lock they would wait for,
// and after every write publish a copy of it under the hive's own name,
// replaced whole by a rename and never changed in place: its readers open it
// immutable and take no lock at all, and a new name tells them to reopen.
#include <sys/stat.h>

#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace hive {

// Replaces `published` with a durable copy of `working`, which must not change
// meanwhile (the caller holds a read of it).
LONG PublishSnapshot(const std::string& working, const std::string& published);

// The name SQLite opens a published copy by: read-only, without locks.
std::string ImmutableUri(const std::string& path);

// The file a reader opened is still the published one.
bool SameFile(const struct stat& a, const struct stat& b);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
