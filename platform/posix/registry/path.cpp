#include "platform/posix/registry/path.h"

#include <unistd.h>

#include <cstring>
#include <string_view>
#include <utility>

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr size_t kMaxKeyNameLength = 255;

}  // namespace

LONG SplitPath(const char* path, std::vector<std::string>* parts) {
  if (!path) return ERROR_SUCCESS;
  if (path[0] == '\\') return ERROR_BAD_PATHNAME;
  for (const char* part = path; *part;) {
    size_t length = strcspn(part, "\\");
    if (length > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (length) parts->emplace_back(part, length);
    part += length;
    if (*part) ++part;
  }
  return ERROR_SUCCESS;
}

LONG FindChild(HiveSession& session, int64_t parent, const std::string& name, int64_t* child) {
  Statement find(session, Sql::FindChild);
  find.Bind(1, parent);
  find.Bind(2, name.c_str());
  int rc = find.Step();
  *child = rc == SQLITE_ROW ? find.Int(0) : 0;
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? ERROR_SUCCESS : StoreError(rc);
}

LONG AddChild(HiveSession& session, int64_t parent, const std::string& name, int64_t* child) {
  Statement insert(session, Sql::InsertKey);
  insert.Bind(1, parent);
  insert.Bind(2, name.c_str());
  int rc = insert.Step();
  if (rc != SQLITE_DONE) return StoreError(rc);
  *child = sqlite3_last_insert_rowid(session.db());
  return ERROR_SUCCESS;
}

LONG FollowPath(HiveSession& session, int64_t from, const std::vector<std::string>& parts, bool create, int64_t* id,
                bool* created) {
  LONG rc = CheckKeyExists(session, from);
  *id = from;
  for (const std::string& part : parts) {
    if (rc != ERROR_SUCCESS) return rc;
    int64_t child = 0;
    rc = FindChild(session, *id, part, &child);
    if (rc == ERROR_SUCCESS && !child) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      rc = AddChild(session, *id, part, &child);
      *created = true;
    }
    *id = child;
  }
  return rc;
}

LONG WalkPath(KeyCall& call, const char* subKey, KeyCall::Mode mode, bool create, int64_t* id, bool* created) {
  std::vector<std::string> parts;
  LONG rc = call.status();
  if (rc == ERROR_SUCCESS) rc = SplitPath(subKey, &parts);
  if (rc == ERROR_SUCCESS) rc = call.Open(mode);
  // A hive that does not exist and cannot be made (the machine hive, for a
  // user) holds no keys: a key below its root is simply not there.
  if (rc == ERROR_CANTOPEN && !create && !parts.empty() && access(call.ref().hive->path().c_str(), F_OK) != 0)
    return ERROR_FILE_NOT_FOUND;
  if (rc != ERROR_SUCCESS) return rc;
  if (create && !call.ref().Allows(KEY_CREATE_SUB_KEY)) {
    // Only a key that is missing needs the right.
    rc = FollowPath(call.session(), call.ref().id, parts, false, id, created);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : rc;
  }
  return FollowPath(call.session(), call.ref().id, parts, create, id, created);
}

LONG FindKey(KeyCall& call, const char* subKey, int64_t* id, bool* readOnly) {
  std::string_view path = subKey ? subKey : "";
  if (ReadCache* cache = call.cache()) {
    if (auto known = cache->Find(ReadCache::Kind::kPath, call.ref().id, path)) {
      *id = known->id;
      *readOnly = known->readOnly;
      return known->status;
    }
  }
  bool created = false;
  LONG rc = WalkPath(call, subKey, KeyCall::kRead, false, id, &created);
  // Not an answer of the hive's: one that could not be opened, or failed.
  if ((rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) || call.status() != ERROR_SUCCESS) return rc;
  *readOnly = call.session().readOnly();
  uint64_t mark = 0;
  if (!call.Marked(&mark)) return rc;
  NameAnswer answer;
  answer.status = rc;
  answer.id = *id;
  answer.readOnly = *readOnly;
  call.cache()->Store(mark, ReadCache::Kind::kPath, call.ref().id, path, std::move(answer));
  return rc;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
