// The value calls that name a subkey: each opens the subkey and reads or writes
// in one transaction.
#include <cstring>
#include <string>
#include <utility>

#include "platform/posix/registry/path.h"
#include "platform/posix/registry/values.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// A key reached through a subkey path needs no right on the handle; the handle's
// own key needs `right`.
REGSAM RightFor(const char* subKey, REGSAM right) { return subKey && *subKey ? 0 : right; }

// Hands a value to use(type, data, size); *valueMissing tells a missing value
// from a missing key.
template <class Use>
LONG ReadValue(HKEY key, const char* subKey, const char* name, Use&& use, bool* valueMissing = nullptr) {
  KeyCall call(key, RightFor(subKey, KEY_QUERY_VALUE));
  int64_t id = 0;
  bool readOnly = false;
  LONG rc = FindKey(call, subKey, &id, &readOnly);
  if (rc != ERROR_SUCCESS) return rc;
  rc = ReadValueOf(call, id, name, use);
  if (valueMissing) *valueMissing = rc == ERROR_FILE_NOT_FOUND;
  return rc;
}

LONG WriteValue(HKEY key, const char* subKey, const char* name, DWORD type, const BYTE* data, DWORD size) {
  KeyCall call(key, RightFor(subKey, KEY_SET_VALUE));
  int64_t id = 0;
  bool created = false;
  LONG rc = WalkPath(call, subKey, KeyCall::kWrite, true, &id, &created);
  if (rc == ERROR_SUCCESS) rc = SetValueOf(call.session(), id, name, type, data, size);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

// REG_EXPAND_SZ text (up to its first zero byte) expanded, with its terminator.
std::string Expanded(const std::string& data) {
  std::string text(data.c_str());
  std::string expanded(ExpandEnvironmentStringsA(text.c_str(), nullptr, 0), '\0');
  while (!expanded.empty()) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), &expanded[0], static_cast<DWORD>(expanded.size()));
    if (needed <= expanded.size()) {
      expanded.resize(needed);
      break;
    }
    expanded.resize(needed);  // the environment changed in between
  }
  return expanded;
}

// Whether RegGetValueA's type filter lets a value through.
LONG CheckType(DWORD flags, DWORD type, size_t size) {
  DWORD mask = type == REG_NONE        ? RRF_RT_REG_NONE
               : type == REG_SZ        ? RRF_RT_REG_SZ
               : type == REG_EXPAND_SZ ? RRF_RT_REG_EXPAND_SZ
               : type == REG_BINARY    ? RRF_RT_REG_BINARY
               : type == REG_DWORD     ? RRF_RT_REG_DWORD
               : type == REG_MULTI_SZ  ? RRF_RT_REG_MULTI_SZ
               : type == REG_QWORD     ? RRF_RT_REG_QWORD
                                       : 0;
  DWORD allowed = flags & RRF_RT_ANY;
  if (allowed != RRF_RT_ANY && !(allowed & mask)) return ERROR_UNSUPPORTED_TYPE;
  // Binary data passes the number filters only with the number's size.
  if (type == REG_BINARY && allowed == RRF_RT_DWORD && size != 4) return ERROR_DATATYPE_MISMATCH;
  if (type == REG_BINARY && allowed == RRF_RT_QWORD && size != 8) return ERROR_DATATYPE_MISMATCH;
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace registry
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix::registry;
namespace hive = korvex::posix::hive;

LSTATUS RegGetValueA(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType, LPVOID pvData,
                     LPDWORD pcbData) {
  DWORD room = pcbData ? *pcbData : 0;
  bool expand = !(dwFlags & RRF_NOEXPAND);
  DWORD allowed = dwFlags & RRF_RT_ANY;
  const DWORD bothViews = RRF_SUBKEY_WOW6464KEY | RRF_SUBKEY_WOW6432KEY;
  if ((pvData && !pcbData) || (allowed != RRF_RT_ANY && (allowed & RRF_RT_REG_EXPAND_SZ) && expand) ||
      (dwFlags & bothViews) == bothViews)
    return ERROR_INVALID_PARAMETER;
  // As Win32 does, type, size and data are handed out before the filter applies.
  auto handOut = [&](DWORD type, const void* data, DWORD size) {
    LONG rc = HandOutData(type, data, size, pdwType, static_cast<LPBYTE>(pvData), pcbData);
    LONG filtered = CheckType(dwFlags, type, size);
    return (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && filtered != ERROR_SUCCESS ? filtered : rc;
  };
  LONG rc = ReadValue(hkey, lpSubKey, lpValue, [&](DWORD type, const void* data, DWORD size) {
    if (type != REG_EXPAND_SZ || !expand) return handOut(type, data, size);
    std::string expanded = Expanded(std::string(static_cast<const char*>(data), size));
    return handOut(REG_SZ, expanded.data(), static_cast<DWORD>(expanded.size()));
  });
  if (rc != ERROR_SUCCESS && pvData && (dwFlags & RRF_ZEROONFAILURE)) memset(pvData, 0, room);
  return rc;
}

LSTATUS RegSetKeyValueA(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValueName, DWORD dwType, LPCVOID lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  return WriteValue(hKey, lpSubKey, lpValueName, dwType, static_cast<const BYTE*>(lpData), cbData);
}

LSTATUS RegDeleteKeyValueA(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValueName) {
  KeyCall call(hKey, RightFor(lpSubKey, KEY_SET_VALUE));
  int64_t id = 0;
  bool created = false;
  LONG rc = WalkPath(call, lpSubKey, KeyCall::kWrite, false, &id, &created);
  if (rc == ERROR_SUCCESS) rc = hive::DeleteValue(call.session(), id, lpValueName);
  return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

LSTATUS RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  DWORD size = lpcbData ? static_cast<DWORD>(*lpcbData) : 0;
  auto handOut = [&](DWORD type, const void* data, DWORD length) {
    return HandOutData(type, data, length, nullptr, reinterpret_cast<LPBYTE>(lpData), lpcbData ? &size : nullptr);
  };
  bool valueMissing = false;
  LONG rc = ReadValue(hKey, lpSubKey, nullptr, handOut, &valueMissing);
  // A key without a default value reads as the empty text.
  if (valueMissing) rc = handOut(REG_SZ, "", 1);
  if (lpcbData && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *lpcbData = static_cast<LONG>(size);
  return rc;
}

LSTATUS RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD) {
  // The size given is ignored: the text with its terminator is stored.
  if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
  return WriteValue(hKey, lpSubKey, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(lpData),
                    static_cast<DWORD>(strlen(lpData) + 1));
}
