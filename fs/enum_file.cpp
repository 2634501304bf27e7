#include <string.h>

#include "korvex/paths.h"
#include "korvex/platform.h"

int EnumFile(const char* folder, const char* ext, int (*callback)(const char* name, long data), long data) {
  if (!folder || !ext || !callback) return 0;
  CString pattern;
  pattern.Format("%s\\*.%s", folder, ext);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  size_t cut = strlen(ext) + 1;
  do {
    // A wildcard extension also matches names shorter than ".ext": those are
    // cut to nothing rather than before their start.
    size_t length = strlen(found.cFileName);
    found.cFileName[length > cut ? length - cut : 0] = '\0';
    if (!callback(found.cFileName, data)) break;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return 1;
}
