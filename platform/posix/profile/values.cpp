// The profile functions that read and write single values.
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile/digits.h"
#include "platform/posix/profile/file.h"
#include "platform/posix/profile/results.h"

using namespace korvex::posix::profile;

namespace {

// A profile integer: blanks, a sign, then decimal digits, or hexadecimal ones
// after a lower-case "0x"; it wraps modulo 2^32 as Win32's does.
UINT ProfileInteger(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '+' || *text == '-') ++text;
  UINT base = 10;
  if (text[0] == '0' && text[1] == 'x') {
    base = 16;
    text += 2;
  }
  UINT value = 0;
  for (;; ++text) {
    UINT digit = DigitValue(*text);
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  std::shared_ptr<const ProfileText> text = LoadProfile(lpFileName);
  // The look-ups trim the names themselves.
  std::string_view value;
  if (lpAppName && lpKeyName && text->Find(lpAppName, lpKeyName, &value))
    return CopyText(value, lpReturnedString, nSize);
  NoteIfCut(lpAppName ? text->Complete(lpAppName) : text->Complete());
  if (!lpAppName) return CopyList(text->SectionNames(), lpReturnedString, nSize);
  std::vector<std::string> keys;
  if (!lpKeyName && text->KeyNames(lpAppName, &keys)) return CopyList(keys, lpReturnedString, nSize);
  // A missing section or key gives the default, its trailing blanks dropped.
  value = lpDefault ? lpDefault : "";
  return CopyText(value.substr(0, value.find_last_not_of(' ') + 1), lpReturnedString, nSize);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName) {
  char text[64];
  if (!lpAppName || !lpKeyName ||
      GetPrivateProfileStringA(lpAppName, lpKeyName, "", text, sizeof text, lpFileName) == 0)
    return static_cast<UINT>(nDefault);
  return ProfileInteger(text);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  std::string section = ProfileName(lpAppName), key = ProfileName(lpKeyName);
  return UpdateProfile(lpAppName, lpFileName, [&](ProfileText& text) {
    if (!lpKeyName) return text.RemoveSection(section);
    if (!lpString) return text.RemoveKey(section, key);
    return text.Set(section, key, lpString);
  });
}
