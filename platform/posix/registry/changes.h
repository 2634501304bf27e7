#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H

// What a registry wait needs to see changes from this and other processes
// without rereading keys. A waiter reads the change counts of its key (or of
// its whole subtree) when it arms and compares later readings whenever the
// hive's change signal (SignalFilePath) says a write ended.
#include <cstdint>
#include <string>

#include "korvex/platform.h"
#include "platform/posix/hive/operations.h"

namespace korvex {
namespace posix {
namespace registry {

using hive::KeyChanges;

// The counts of a key, or with subtree the sums over the key and every key below
// it. Needs KEY_NOTIFY; ERROR_KEY_DELETED once the key is gone.
LONG ReadKeyChanges(HKEY key, bool subtree, KeyChanges* changes);

// The file of the change signal of the hive that holds a key.
LONG SignalFilePath(HKEY key, std::string* path);

// Ends the change waits begun on a key handle that is being closed.
void EndKeyWaits(HKEY key);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
