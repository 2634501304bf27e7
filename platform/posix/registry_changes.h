#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H

// What a registry wait needs to see changes from this and other processes
// without rereading keys: every committed change takes the hive's next sequence
// number and stamps it on the key it changed, as a name change (a subkey added
// or removed) or a value change (a value set or deleted). A waiter remembers the
// stamps it saw and compares; the hive sequence tells cheaply whether anything
// changed at all, and the hive's files (path()) can be watched for writes.
#include <cstdint>
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace registry {

struct KeyChanges {
  int64_t names = 0;   // stamp of the last subkey added or removed
  int64_t values = 0;  // stamp of the last value set or deleted
};

// Exported for the layer's own tests; not part of the Win32 subset.

// The sequence number of the hive's last committed change.
KORVEX_API LONG ReadHiveSequence(HKEY key, int64_t* sequence);

// The stamps of a key, or with subtree the latest stamps of the key and every
// key below it. Needs KEY_NOTIFY; ERROR_KEY_DELETED once the key is gone.
KORVEX_API LONG ReadKeyChanges(HKEY key, bool subtree, KeyChanges* changes);

// The database file of the hive that holds a key.
KORVEX_API LONG HiveFilePath(HKEY key, std::string* path);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
