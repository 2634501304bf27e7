#include <string.h>

#include "korvex/paths.h"
#include "korvex/platform.h"

int DoesFileExist(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return 1;
}

int DoesFolderExist(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int EnsureFolderExist(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 1;
  return CreateDirectoryA(path, NULL) ? 1 : 0;
}

int GetLongFileName(char* longName, const char* path) {
  if (!longName) return 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  const char* source = path ? path : "";
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    source = found.cFileName;
  }
  // The caller's buffer holds MAX_PATH characters; a longer path is cut.
  size_t n = strlen(source);
  if (n > MAX_PATH - 1) n = MAX_PATH - 1;
  memmove(longName, source, n);
  longName[n] = '\0';
  return search != INVALID_HANDLE_VALUE ? 1 : 0;
}
