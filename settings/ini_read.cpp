#include <string.h>

#include "korvex/settings.h"
#include "settings/ini_sections.h"

int CIniFile::Read(const char* path) {
  CStdioFile file;
  if (!file.Open(path, CStdioFile::modeRead)) return 0;
  CString section;
  CMapStringToString* keys = NULL;  // the current section's table, once it has one
  CString line;
  while (file.ReadString(line)) {
    // Text ends at its first zero byte, here as everywhere the library passes text.
    char* text = line.GetBuffer(0);
    size_t length = strlen(text);
    if (length == 0) continue;
    if (text[0] == '[' && text[length - 1] == ']') {
      section = CString(text + 1, static_cast<int>(length - 2));
      keys = NULL;
      continue;
    }
    if (section.IsEmpty()) continue;
    char* equals = static_cast<char*>(memchr(text, '=', length));
    if (!equals || equals == text) continue;
    *equals = '\0';  // the key ends here; the value runs to the end of the line
    if (!keys) keys = &korvex::ini::KeysOf(m_sections, section);
    (*keys)[static_cast<const char*>(text)] = equals + 1;
  }
  file.Close();
  return 1;
}
