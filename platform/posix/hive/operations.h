#ifndef KORVEX_PLATFORM_POSIX_HIVE_OPERATIONS_H
#define KORVEX_PLATFORM_POSIX_HIVE_OPERATIONS_H

// What a hive does for its callers, on keys known by their id, each in the
// session's connection (and within its transaction, if one is open). Results
// are Win32 errors: ERROR_KEY_DELETED for a key that is gone, the store's
// error for a failed step. Every read of keys and values goes through the
// reads below.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/hive/hive.h"

namespace korvex {
namespace posix {
namespace hive {

// A value, or with a name also a subkey (which has a name only).
struct Entry {
  std::string name;
  DWORD type = 0;
  std::string data;
};

enum class EntryKind { kSubkeys, kValues };

// Entries of a key in name order, read while the key's change count was `stamp`.
struct EntryBatch {
  int64_t stamp = -1;     // nothing read yet
  bool complete = false;  // the key has no entry after these
  std::vector<Entry> entries;
};

// Lengths in bytes: names are ANSI texts.
struct KeyInfo {
  int64_t subkeys = 0;
  int64_t longestSubkeyName = 0;
  int64_t values = 0;
  int64_t longestValueName = 0;
  int64_t longestValueData = 0;
};

// Every committed change counts on the key it changed: a name change (a subkey
// added or removed) or a value change (a value set or deleted).
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

// A key's values and, by name, its subkeys, each with everything below it.
struct KeyTree {
  std::vector<Entry> values;
  std::vector<std::pair<std::string, KeyTree>> children;
};

// Reads.

// ERROR_SUCCESS if the key exists.
LONG KeyExists(HiveSession& session, int64_t key);
// Follows names down from an existing key; with `create` missing keys are
// made (and *created set), else they give ERROR_FILE_NOT_FOUND.
LONG FollowPath(HiveSession& session, int64_t from, const std::vector<std::string>& names, bool create, int64_t* id,
                bool* created);
// A value's type and data; ERROR_FILE_NOT_FOUND when the key has no such value.
LONG ReadValue(HiveSession& session, int64_t key, const char* name, Entry* value);
// Up to `limit` entries (all for -1) from `index` on: after the last entry of
// `follow` if the key has not changed since that was read, else counted from
// the first. A batch also ends once it holds maxBytes of names and data.
LONG ReadEntries(HiveSession& session, EntryKind kind, int64_t key, DWORD index, const EntryBatch* follow,
                 int64_t limit, size_t maxBytes, EntryBatch* batch);
LONG ReadKeyInfo(HiveSession& session, int64_t key, KeyInfo* info);
LONG HasSubkeys(HiveSession& session, int64_t key, bool* has);
// The counts of a key, or with subtree the sums over the key and every key below it.
LONG ReadKeyChanges(HiveSession& session, int64_t key, bool subtree, KeyChanges* changes);
// Reads a key and everything below it.
LONG ReadSubtree(HiveSession& session, int64_t key, KeyTree* tree);

// Writes.

// ERROR_CANTWRITE for a value size the hive cannot hold.
LONG CheckValueSize(HiveSession& session, uint64_t size);
LONG SetValue(HiveSession& session, int64_t key, const char* name, DWORD type, const void* data, DWORD size);
// ERROR_FILE_NOT_FOUND when the key has no such value.
LONG DeleteValue(HiveSession& session, int64_t key, const char* name);
// The key, with its values, and with subtree every key below it.
LONG DeleteKey(HiveSession& session, int64_t key, bool subtree);
// Deletes every subkey and value of the key, which stays.
LONG EmptyKey(HiveSession& session, int64_t key);
// Adds a tree's values and subkeys to the key, over those of the same names.
LONG WriteSubtree(HiveSession& session, int64_t key, const KeyTree& tree);
// Syncs what was committed to the hive's database file.
LONG Flush(HiveSession& session);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
