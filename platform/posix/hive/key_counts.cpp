// What a key holds and how often it changed, counted in one statement each.
#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// No row when the key is gone.
constexpr Sql kKeyInfo{Slot::KeyInfo,
                       "SELECT (SELECT count(*) FROM keys WHERE parent = ?1),"
                       " (SELECT max(length(CAST(name AS BLOB))) FROM keys WHERE parent = ?1),"
                       " (SELECT count(*) FROM vals WHERE key = ?1 AND name < X''),"
                       " (SELECT max(length(CAST(name AS BLOB))) FROM vals WHERE key = ?1 AND name < X''),"
                       " (SELECT max(length(data)) FROM vals WHERE key = ?1 AND name < X'')"
                       " FROM keys WHERE id = ?1"};
enum KeyInfoColumn { kSubkeys, kLongestSubkeyName, kValues, kLongestValueName, kLongestValueData };

// A key's value changes are counted in the type column of its count row (schema.cpp).
constexpr Sql kKeyChanges{Slot::KeyChanges,
                          "SELECT k.name_changes, c.type, 1, k.id FROM keys k"
                          " JOIN vals c ON c.key = k.id AND c.name = X'' WHERE k.id = ?1"};
constexpr Sql kSubtreeChanges{
    Slot::SubtreeChanges,
    KORVEX_SUBTREE("?1") "SELECT sum(k.name_changes), sum(c.type), count(*), sum(k.id) FROM sub"
                         " JOIN keys k ON k.id = sub.id JOIN vals c ON c.key = k.id AND c.name = X'' HAVING count(*) > 0"};
enum ChangesColumn { kNames, kValueChanges, kKeys, kKeyIdSum };

}  // namespace

LONG ReadKeyInfo(HiveSession& session, int64_t key, KeyInfo* info) {
  Statement read(session, kKeyInfo);
  LONG rc = StepToKeyRow(read, key);
  if (rc != ERROR_SUCCESS) return rc;
  info->subkeys = read.Int(kSubkeys);
  info->longestSubkeyName = read.Int(kLongestSubkeyName);
  info->values = read.Int(kValues);
  info->longestValueName = read.Int(kLongestValueName);
  info->longestValueData = read.Int(kLongestValueData);
  return ERROR_SUCCESS;
}

LONG ReadKeyChanges(HiveSession& session, int64_t key, bool subtree, KeyChanges* changes) {
  Statement read(session, subtree ? kSubtreeChanges : kKeyChanges);
  LONG rc = StepToKeyRow(read, key);
  if (rc != ERROR_SUCCESS) return rc;
  changes->names = read.Int(kNames);
  changes->values = read.Int(kValueChanges);
  changes->keys = read.Int(kKeys);
  changes->keyIdSum = read.Int(kKeyIdSum);
  return ERROR_SUCCESS;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
