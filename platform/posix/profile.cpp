// The profile functions over ProfileText and the locked, atomic file update.
#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile_file.h"
#include "text/atoi.h"

namespace korvex {
namespace posix {
namespace {

// Copies a text, cut to the buffer; the length copied.
DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  DWORD length = text.size() < size ? static_cast<DWORD>(text.size()) : size - 1;
  memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

// Copies names each ending in a zero byte, and one more zero after the last.
// A list that does not fit is cut and still ends in two zeros: size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& name : names) list.append(name).push_back('\0');
  if (list.size() + 1 <= size) {
    memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    if (list.empty() && size > 1) buffer[1] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::string Name(const char* name) { return TrimBlanks(name ? name : ""); }

}  // namespace
}  // namespace posix
}  // namespace korvex

using namespace korvex::posix;

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  std::string path = ProfilePath(lpFileName, false);
  ProfileText text(path.empty() ? std::string() : ReadProfile(path));
  if (!lpAppName) return CopyList(text.SectionNames(), lpReturnedString, nSize);
  if (!lpKeyName) {
    std::vector<std::string> keys;
    text.KeyNames(Name(lpAppName), &keys);
    return CopyList(keys, lpReturnedString, nSize);
  }
  std::string value;
  if (!text.Find(Name(lpAppName), Name(lpKeyName), &value)) {
    // Trailing blanks of a default are dropped.
    value = lpDefault ? lpDefault : "";
    value.erase(value.find_last_not_of(' ') + 1);
  }
  return CopyText(value, lpReturnedString, nSize);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName) {
  char text[64];
  if (!lpAppName || !lpKeyName ||
      GetPrivateProfileStringA(lpAppName, lpKeyName, "", text, sizeof text, lpFileName) == 0)
    return static_cast<UINT>(nDefault);
  return korvex::AtoiOf(text, strlen(text));
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  std::string path = ProfilePath(lpFileName, true);
  if (!lpAppName || path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string section = Name(lpAppName), key = Name(lpKeyName);
  bool ok = UpdateProfile(path, [&](ProfileText& text) {
    if (!lpKeyName) return text.RemoveSection(section);
    if (!lpString) return text.RemoveKey(section, key);
    return text.Set(section, key, lpString);
  });
  return ok ? TRUE : FALSE;
}
