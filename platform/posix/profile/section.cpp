// The profile functions that read and write whole sections.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile/file.h"
#include "platform/posix/profile/results.h"

using namespace korvex::posix::profile;

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
  if (!lpszReturnBuffer || nSize == 0) return 0;
  std::shared_ptr<const ProfileText> text = LoadProfile(lpFileName);
  NoteIfCut(text->Complete());
  std::vector<std::string> names = text->SectionNames();
  // As Win32 does: no sections give one zero byte, and a buffer of exactly
  // the list's size counts as too small.
  if (names.empty()) {
    lpszReturnBuffer[0] = '\0';
    return 0;
  }
  return CopyList(names, lpszReturnBuffer, nSize, 1);
}

DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (!lpAppName || !lpReturnedString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (nSize == 0) return 0;
  std::shared_ptr<const ProfileText> text = LoadProfile(lpFileName);
  std::string section = ProfileName(lpAppName);
  NoteIfCut(text->Complete(section));
  std::vector<std::string> lines;
  text->SectionLines(section, &lines);
  return CopyList(lines, lpReturnedString, nSize);
}

BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
  std::string section = ProfileName(lpAppName);
  // "key=value" texts, each ending in a zero, the list in a second one; a text
  // without '=' is no entry and is left out.
  std::vector<std::pair<std::string, std::string>> entries;
  for (const char* entry = lpString; entry && *entry; entry += strlen(entry) + 1) {
    const char* equals = strchr(entry, '=');
    if (equals) entries.emplace_back(TrimBlanks(std::string(entry, equals)), TrimBlanks(equals + 1));
  }
  return UpdateProfile(lpAppName, lpFileName, [&](ProfileText& text) {
    return lpString ? text.ReplaceSection(section, entries) : text.RemoveSection(section);
  });
}
