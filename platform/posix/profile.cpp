// The profile functions that read and write single values.
#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile_file.h"
#include "platform/posix/profile_results.h"
#include "text/atoi.h"

using namespace korvex::posix;

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  std::shared_ptr<const ProfileText> text = LoadProfile(lpFileName);
  if (!lpAppName) return CopyList(text->SectionNames(), lpReturnedString, nSize);
  std::vector<std::string> keys;
  if (!lpKeyName && text->KeyNames(ProfileName(lpAppName), &keys)) return CopyList(keys, lpReturnedString, nSize);
  std::string_view value;
  if (lpKeyName && text->Find(ProfileName(lpAppName), ProfileName(lpKeyName), &value))
    return CopyText(value, lpReturnedString, nSize);
  // A missing section or key gives the default, its trailing blanks dropped.
  value = lpDefault ? lpDefault : "";
  return CopyText(value.substr(0, value.find_last_not_of(' ') + 1), lpReturnedString, nSize);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName) {
  char text[64];
  if (!lpAppName || !lpKeyName ||
      GetPrivateProfileStringA(lpAppName, lpKeyName, "", text, sizeof text, lpFileName) == 0)
    return static_cast<UINT>(nDefault);
  return korvex::AtoiOf(text, strlen(text), true);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  std::string section = ProfileName(lpAppName), key = ProfileName(lpKeyName);
  return UpdateProfile(lpAppName, lpFileName, [&](ProfileText& text) {
    if (!lpKeyName) return text.RemoveSection(section);
    if (!lpString) return text.RemoveKey(section, key);
    return text.Set(section, key, lpString);
  });
}
