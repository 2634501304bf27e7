#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_CHANGES_H

// What a registry wait needs to see changes from this and other processes
// without rereading keys. Every committed change counts on the key it changed:
// a name change (a subkey added or removed) or a value change (a value set or
// deleted). A waiter reads the counts of its key (or of its whole subtree) when
// it arms and compares later readings whenever the hive's change signal
// (SignalFilePath) says a write ended.
#include <cstdint>
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace registry {

struct KeyChanges {
  int64_t names = 0;   // subkeys added and removed
  int64_t values = 0;  // values set and deleted
  int64_t keys = 0;    // keys read: 1, or the size of the subtree
  int64_t keyIdSum = 0;

  // Key ids are never reused and counts only grow, so these are exact: a subtree
  // whose key set changed differs in its size or its sum of ids.
  bool NamesDiffer(const KeyChanges& other) const {
    return names != other.names || keys != other.keys || keyIdSum != other.keyIdSum;
  }
  // A subkey deleted with its values also shows here, as its count leaves the sum.
  bool ValuesDiffer(const KeyChanges& other) const { return values != other.values; }
};

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
