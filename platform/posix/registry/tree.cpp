// Deleting and copying whole trees of keys.
#include <string>
#include <vector>

#include "platform/posix/hive/operations.h"
#include "platform/posix/registry/path.h"

using namespace korvex::posix::registry;
namespace hive = korvex::posix::hive;

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  if (lpSubKey && *lpSubKey) return SHDeleteKeyA(hKey, lpSubKey);
  KeyCall call(hKey, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, KeyCall::kWrite);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG rc = hive::EmptyKey(call.session(), call.ref().id);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

LSTATUS RegCopyTreeA(HKEY hKeySrc, LPCSTR lpSubKey, HKEY hKeyDest) {
  KeyRef source;
  LONG rc = ResolveKey(hKeySrc, &source);
  if (rc != ERROR_SUCCESS) return rc;
  if (!source.Allows(KEY_READ)) return ERROR_ACCESS_DENIED;
  std::vector<std::string> parts;
  rc = SplitPath(lpSubKey, &parts);
  if (rc != ERROR_SUCCESS) return rc;
  KeyCall destination(hKeyDest, KEY_CREATE_SUB_KEY);
  if (destination.status() != ERROR_SUCCESS) return destination.status();

  // The source is read whole before anything is written, so a copy into its
  // own subtree ends. In one hive, reading and writing are one transaction.
  hive::KeyTree tree;
  int64_t id = 0;
  bool created = false;
  if (source.hive == destination.ref().hive && source.transaction == destination.ref().transaction) {
    rc = destination.Open(KeyCall::kWrite);
    if (rc == ERROR_SUCCESS) rc = hive::FollowPath(destination.session(), source.id, parts, false, &id, &created);
    if (rc == ERROR_SUCCESS) rc = hive::ReadSubtree(destination.session(), id, &tree);
  } else {
    {  // the source's lock goes before the destination's write
      KeyCall reader(hKeySrc, KEY_READ, KeyCall::kRead);
      rc = reader.status();
      if (rc == ERROR_SUCCESS) rc = hive::FollowPath(reader.session(), source.id, parts, false, &id, &created);
      if (rc == ERROR_SUCCESS) rc = hive::ReadSubtree(reader.session(), id, &tree);
    }
    if (rc == ERROR_SUCCESS) rc = destination.Open(KeyCall::kWrite);
  }
  if (rc == ERROR_SUCCESS) rc = hive::KeyExists(destination.session(), destination.ref().id);
  if (rc == ERROR_SUCCESS) rc = hive::WriteSubtree(destination.session(), destination.ref().id, tree);
  return rc == ERROR_SUCCESS ? destination.Commit() : rc;
}
