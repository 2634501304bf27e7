#include "platform/posix/registry/changes.h"

#include "platform/posix/registry/handle.h"

namespace korvex {
namespace posix {
namespace registry {

LONG ReadKeyChanges(HKEY key, bool subtree, KeyChanges* changes) {
  KeyCall call(key, KEY_NOTIFY, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement read(call.session(), subtree ? Sql::SubtreeChanges : Sql::KeyChanges);
  read.Bind(1, call.ref().id);
  int step = read.Step();
  if (step == SQLITE_DONE) return ERROR_KEY_DELETED;
  if (step != SQLITE_ROW) return StoreError(step);
  changes->names = read.Int(0);
  changes->values = read.Int(1);
  changes->keys = read.Int(2);
  changes->keyIdSum = read.Int(3);
  return ERROR_SUCCESS;
}

LONG SignalFilePath(HKEY key, std::string* path) {
  KeyRef ref;
  LONG rc = ResolveKey(key, &ref);
  if (rc == ERROR_SUCCESS) *path = ref.hive->SignalPath();
  return rc;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
