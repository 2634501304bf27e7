// Deleting and copying whole trees of keys.
#include <string>
#include <vector>

#include "platform/posix/registry/path.h"
#include "platform/posix/registry/values.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

struct ValueCopy {
  std::string name;
  DWORD type;
  std::string data;
};

struct KeyCopy {
  std::vector<ValueCopy> values;
  std::vector<std::pair<std::string, KeyCopy>> children;
};

// Reads a key and everything below it. Each level's rows are read whole before
// going down, as the statements are shared by the levels.
LONG ReadTree(HiveSession& session, int64_t id, KeyCopy* tree) {
  int step;
  {
    Statement values(session, Sql::ValuesOf);
    values.Bind(1, id);
    while ((step = values.Step()) == SQLITE_ROW) {
      const char* data = static_cast<const char*>(values.Blob(2));
      tree->values.push_back(ValueCopy{values.Text(0), static_cast<DWORD>(values.Int(1)),
                                       data ? std::string(data, values.Bytes(2)) : std::string()});
    }
    if (step != SQLITE_DONE) return StoreError(step);
  }
  std::vector<int64_t> ids;
  {
    Statement children(session, Sql::ChildrenOf);
    children.Bind(1, id);
    while ((step = children.Step()) == SQLITE_ROW) {
      ids.push_back(children.Int(0));
      tree->children.emplace_back(children.Text(1), KeyCopy());
    }
    if (step != SQLITE_DONE) return StoreError(step);
  }
  for (size_t i = 0; i < ids.size(); ++i) {
    LONG rc = ReadTree(session, ids[i], &tree->children[i].second);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

LONG WriteTree(HiveSession& session, int64_t id, const KeyCopy& tree) {
  for (const ValueCopy& value : tree.values) {
    LONG rc = SetValueOf(session, id, value.name.c_str(), value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                         static_cast<DWORD>(value.data.size()), false);
    if (rc != ERROR_SUCCESS) return rc;
  }
  for (const auto& child : tree.children) {
    int64_t childId = 0;
    bool created = false;
    LONG rc = FollowPath(session, id, {child.first}, true, &childId, &created);
    if (rc == ERROR_SUCCESS) rc = WriteTree(session, childId, child.second);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  if (lpSubKey && *lpSubKey) return SHDeleteKeyA(hKey, lpSubKey);
  KeyCall call(hKey, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, KeyCall::kWrite);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG rc = CheckKeyExists(call.session(), call.ref().id);
  if (rc == ERROR_SUCCESS) rc = Execute(call.session(), Sql::DeleteChildren, call.ref().id);
  if (rc == ERROR_SUCCESS) rc = Execute(call.session(), Sql::DeleteValues, call.ref().id);
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
  KeyCopy tree;
  int64_t id = 0;
  bool created = false;
  if (source.hive == destination.ref().hive && source.transaction == destination.ref().transaction) {
    rc = destination.Open(KeyCall::kWrite);
    if (rc == ERROR_SUCCESS) rc = FollowPath(destination.session(), source.id, parts, false, &id, &created);
    if (rc == ERROR_SUCCESS) rc = ReadTree(destination.session(), id, &tree);
  } else {
    {  // the source's lock goes before the destination's write
      KeyCall reader(hKeySrc, KEY_READ, KeyCall::kRead);
      rc = reader.status();
      if (rc == ERROR_SUCCESS) rc = FollowPath(reader.session(), source.id, parts, false, &id, &created);
      if (rc == ERROR_SUCCESS) rc = ReadTree(reader.session(), id, &tree);
    }
    if (rc == ERROR_SUCCESS) rc = destination.Open(KeyCall::kWrite);
  }
  if (rc == ERROR_SUCCESS) rc = CheckKeyExists(destination.session(), destination.ref().id);
  if (rc == ERROR_SUCCESS) rc = WriteTree(destination.session(), destination.ref().id, tree);
  return rc == ERROR_SUCCESS ? destination.Commit() : rc;
}
