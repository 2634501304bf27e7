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
    rc = hive::FollowPath(call.session(), call.ref().id, parts, false, id, created);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : rc;
  }
  return hive::FollowPath(call.session(), call.ref().id, parts, create, id, created);
}

LONG FindKey(KeyCall& call, const char* subKey, int64_t* id, bool* readOnly) {
  std::string_view path = subKey ? subKey : "";
  if (hive::ReadCache* cache = call.cache()) {
    if (auto known = cache->Find(hive::ReadCache::Kind::kPath, call.ref().id, path)) {
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
  hive::NameAnswer answer;
  answer.status = rc;
  answer.id = *id;
  answer.readOnly = *readOnly;
  call.cache()->Store(mark, hive::ReadCache::Kind::kPath, call.ref().id, path, std::move(answer));
  return rc;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
