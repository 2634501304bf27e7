// The profile functions that read and write whole sections.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile/file.h"
#include "platform/posix/profile/results.h"

using namespace korvex::posix;

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
  if (!lpszReturnBuffer || nSize == 0) return 0;
  return CopyList(LoadProfile(lpFileName)->SectionNames(), lpszReturnBuffer, nSize);
}

DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  std::vector<std::string> lines;
  if (lpAppName) LoadProfile(lpFileName)->SectionLines(ProfileName(lpAppName), &lines);
  return CopyList(lines, lpReturnedString, nSize);
}

BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
  std::string section = ProfileName(lpAppName);
  // "key=value" texts, each ending in a zero, the list in a second one; a text
  // without '=' is no entry and is left out.
  std::vector<std::pair<std::string, std::string>> entries;
  for (const char* entry = lpString; entry && *entry; entry += strlen(entry) + 1) {
    const char* equals = strchr(entry, '=');
    if (equals)
      entries.emplace_back(TrimBlanks(std::string(entry, equals)), TrimBlanks(equals + 1));
  }
  return UpdateProfile(lpAppName, lpFileName, [&](ProfileText& text) {
    return lpString ? text.ReplaceSection(section, entries) : text.RemoveSection(section);
  });
}
