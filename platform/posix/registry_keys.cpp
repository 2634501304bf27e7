// Opening, creating, enumerating and deleting keys.
#include <cstring>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/registry_handle.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr size_t kMaxKeyNameLength = 255;

// A subkey path is split at backslashes; doubled and trailing backslashes add
// nothing, a leading one is refused.
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

// The child of that name, or 0 when there is none.
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

// Follows a path down from the call's key in a transaction of the call, creating
// what is missing when asked to. A bad path fails before the hive is opened.
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
  HiveSession& session = call.session();
  rc = CheckKeyExists(session, call.ref().id);
  *id = call.ref().id;
  for (const std::string& part : parts) {
    if (rc != ERROR_SUCCESS) return rc;
    int64_t child = 0;
    rc = FindChild(session, *id, part, &child);
    if (rc == ERROR_SUCCESS && !child) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      if (!call.ref().Allows(KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      rc = AddChild(session, *id, part, &child);
      *created = true;
    }
    *id = child;
  }
  return rc;
}

LONG OpenKey(HKEY key, const char* subKey, bool create, REGSAM access, PHKEY result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  KeyCall call(key, 0);
  int64_t id = 0;
  bool created = false;
  LONG rc = WalkPath(call, subKey, create ? KeyCall::kWrite : KeyCall::kRead, create, &id, &created);
  if (rc == ERROR_SUCCESS) rc = call.Commit();
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(KeyRef{call.ref().hive, id, access});
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY key, const char* subKey, bool subtree) {
  KeyCall call(key, 0);
  int64_t id = 0;
  bool created = false;
  LONG rc = WalkPath(call, subKey, KeyCall::kWrite, false, &id, &created);
  if (rc != ERROR_SUCCESS) return rc;
  if (id == kRootKeyId) return ERROR_ACCESS_DENIED;
  if (!subtree) {
    Statement children(call.session(), Sql::HasChildren);
    children.Bind(1, id);
    int step = children.Step();
    if (step == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (step != SQLITE_DONE) return StoreError(step);
  }
  // The keys' values go with them (trigger key_removed).
  rc = Execute(call.session(), subtree ? Sql::DeleteSubtree : Sql::DeleteKey, id);
  if (rc == ERROR_SUCCESS) rc = call.Commit();
  return rc;
}

// The name of the subkey at an index, in name order.
LONG ChildAt(HKEY key, DWORD index, std::string* name) {
  KeyCall call(key, KEY_ENUMERATE_SUB_KEYS, KeyCall::kRead);
  if (call.status() != ERROR_SUCCESS) return call.status();
  Statement child(call.session(), Sql::ChildAt);
  child.Bind(1, call.ref().id);
  child.Bind(2, static_cast<int64_t>(index));
  int step = child.Step();
  if (step == SQLITE_ROW) {
    name->assign(child.Text(0), child.Bytes(0));
    return ERROR_SUCCESS;
  }
  if (step != SQLITE_DONE) return StoreError(step);
  return call.KeyGoneOr(ERROR_NO_MORE_ITEMS);
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
  return OpenKey(hKey, lpSubKey, true, samDesired, phkResult, lpdwDisposition);
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return OpenKey(hKey, lpSubKey, false, samDesired, phkResult, nullptr);
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  return ReleaseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                      LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  std::string name;
  LONG rc = ChildAt(hKey, dwIndex, &name);
  if (rc != ERROR_SUCCESS) return rc;
  if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
  memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass && *lpcchClass) *lpClass = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, lpSubKey, false);
}

LSTATUS SHDeleteKeyA(HKEY hKey, LPCSTR pszSubKey) { return DeleteKey(hKey, pszSubKey, true); }
