#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "korvex/platform.h"

namespace {

// A module handle is the loader's record of the module. Looking it up in the
// loader's list, rather than asking dlinfo, keeps a stale or made-up handle
// from being followed.
bool FindModulePath(HMODULE module, std::string& path) {
  for (const link_map* map = _r_debug.r_map; map; map = map->l_next) {
    if (static_cast<const void*>(map) != static_cast<const void*>(module)) continue;
    if (map->l_name && map->l_name[0]) {
      char resolved[PATH_MAX];
      path = realpath(map->l_name, resolved) ? resolved : map->l_name;
      return true;
    }
    break;  // the program itself has no name in the list
  }
  return false;
}

bool ProgramPath(std::string& path) {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer)) return false;
  path.assign(buffer, static_cast<size_t>(n));
  return true;
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  std::string path;
  bool found = !module || module == GetModuleHandleA(nullptr) ? ProgramPath(path) : FindModulePath(module, path);
  if (!found) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(fileName, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
