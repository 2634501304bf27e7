#include "platform/posix/registry/changes.h"

#include "platform/posix/registry/handle.h"

namespace korvex {
namespace posix {
namespace registry {

LONG ReadKeyChanges(HKEY key, bool subtree, KeyChanges* changes) {
  KeyCall call(key, KEY_NOTIFY, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  return hive::ReadKeyChanges(call.session(), call.ref().id, subtree, changes);
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
