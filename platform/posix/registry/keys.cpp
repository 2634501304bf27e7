// Opening, creating, enumerating and deleting keys.
#include "platform/posix/hive/operations.h"
#include "platform/posix/registry/changes.h"
#include "platform/posix/registry/path.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;

LONG DeleteKey(HKEY key, const char* subKey, bool subtree) {
  KeyCall call(key, 0);
  int64_t id = 0;
  bool created = false;
  LONG rc = WalkPath(call, subKey, KeyCall::kWrite, false, &id, &created);
  if (rc != ERROR_SUCCESS) return rc;
  if (id == hive::kRootKeyId) return ERROR_ACCESS_DENIED;
  bool hasSubkeys = false;
  if (!subtree) rc = hive::HasSubkeys(call.session(), id, &hasSubkeys);
  if (rc != ERROR_SUCCESS) return rc;
  if (hasSubkeys) return ERROR_ACCESS_DENIED;
  rc = hive::DeleteKey(call.session(), id, subtree);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

}  // namespace

LONG OpenKey(HKEY key, const char* subKey, bool create, REGSAM access, PHKEY result, DWORD* disposition,
             std::shared_ptr<RegistryTransaction> transaction) {
  if (!result) return ERROR_INVALID_PARAMETER;
  KeyCall call(key, 0);
  if (transaction) call.Enlist(std::move(transaction));
  int64_t id = 0;
  bool created = false, readOnly = false;
  LONG rc = ERROR_SUCCESS;
  if (create) {  // a hive this process may not write refuses that
    rc = WalkPath(call, subKey, KeyCall::kWrite, true, &id, &created);
    if (rc == ERROR_SUCCESS) rc = call.Commit();
  } else {
    rc = FindKey(call, subKey, &id, &readOnly);
  }
  if (rc != ERROR_SUCCESS) return rc;
  // A hive this process may not write refuses write rights, as Win32 refuses
  // them to a user without them.
  if ((access & kWriteRights) && readOnly) return ERROR_ACCESS_DENIED;
  *result = NewHandle(KeyRef{call.ref().hive, id, access, nullptr, call.ref().transaction});
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;
namespace hive = korvex::posix::hive;

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
  return OpenKey(hKey, lpSubKey, true, samDesired, phkResult, lpdwDisposition, nullptr);
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  // As Win32 does: no key at all leaves the result as it was; any other failure clears it.
  if (!hKey) return ERROR_INVALID_HANDLE;
  if (phkResult) *phkResult = nullptr;
  return OpenKey(hKey, lpSubKey, false, samDesired, phkResult, nullptr, nullptr);
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (PredefinedKey(hKey)) return ERROR_SUCCESS;
  if (!ReleaseHandle(hKey)) return ERROR_INVALID_HANDLE;
  EndKeyWaits(hKey);
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, lpSubKey, false);
}

LSTATUS RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM, DWORD) { return RegDeleteKeyA(hKey, lpSubKey); }

LSTATUS SHDeleteKeyA(HKEY hKey, LPCSTR pszSubKey) { return DeleteKey(hKey, pszSubKey, true); }

LSTATUS RegOpenCurrentUser(REGSAM samDesired, PHKEY phkResult) {
  if (phkResult) *phkResult = nullptr;
  return OpenKey(HKEY_CURRENT_USER, nullptr, false, samDesired, phkResult, nullptr, nullptr);
}

LSTATUS RegFlushKey(HKEY hKey) {
  KeyCall call(hKey, 0, KeyCall::kNoTransaction);
  if (call.status() != ERROR_SUCCESS) return call.status();
  LONG gone = call.KeyGoneOr(ERROR_SUCCESS);
  if (gone != ERROR_SUCCESS) return gone;
  return hive::Flush(call.session());
}
