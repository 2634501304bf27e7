// Reading and writing whole trees of keys, for copies.
#include "platform/posix/hive/operations.h"
#include "platform/posix/hive/statement.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

constexpr Sql kValuesOf{Slot::ValuesOf, "SELECT name, type, data FROM vals WHERE key = ?1 AND name < X''"};
enum ValuesOfColumn { kValueName, kValueType, kValueData };
constexpr Sql kChildrenOf{Slot::ChildrenOf, "SELECT id, name FROM keys WHERE parent = ?1"};
enum ChildrenOfColumn { kChildId, kChildName };

}  // namespace

// Each level's rows are read whole before going down, as the statements are
// shared by the levels.
LONG ReadSubtree(HiveSession& session, int64_t key, KeyTree* tree) {
  int step;
  {
    Statement values(session, kValuesOf);
    values.Bind(1, key);
    while ((step = values.Step()) == SQLITE_ROW)
      tree->values.push_back(
          Entry{values.Bytes(kValueName), static_cast<DWORD>(values.Int(kValueType)), values.Bytes(kValueData)});
    if (step != SQLITE_DONE) return StoreError(step);
  }
  std::vector<int64_t> ids;
  {
    Statement children(session, kChildrenOf);
    children.Bind(1, key);
    while ((step = children.Step()) == SQLITE_ROW) {
      ids.push_back(children.Int(kChildId));
      tree->children.emplace_back(children.Bytes(kChildName), KeyTree());
    }
    if (step != SQLITE_DONE) return StoreError(step);
  }
  for (size_t i = 0; i < ids.size(); ++i) {
    LONG rc = ReadSubtree(session, ids[i], &tree->children[i].second);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

LONG WriteSubtree(HiveSession& session, int64_t key, const KeyTree& tree) {
  for (const Entry& value : tree.values) {
    LONG rc = SetValue(session, key, value.name.c_str(), value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    if (rc != ERROR_SUCCESS) return rc;
  }
  for (const auto& child : tree.children) {
    int64_t childId = 0;
    bool created = false;
    LONG rc = FollowPath(session, key, {child.first}, true, &childId, &created);
    if (rc == ERROR_SUCCESS) rc = WriteSubtree(session, childId, child.second);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
