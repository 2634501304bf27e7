#include "platform/posix/process/shell_folder.h"

#include <errno.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace process {

std::string UserConfigFolder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  const char* home = getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || !*home) return std::string();
  return std::string(home) + "/.config";
}

bool MakeFolderPath(const std::string& path, mode_t mode) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace process
}  // namespace posix
}  // namespace korvex

HRESULT SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath) {
  if (!pszPath || (csidl & ~CSIDL_FLAG_CREATE) != CSIDL_APPDATA) return E_INVALIDARG;
  std::string folder = korvex::posix::process::UserConfigFolder();
  if (folder.empty() || folder.size() >= MAX_PATH) return E_FAIL;
  struct stat info;
  bool present = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  if (!present && (csidl & CSIDL_FLAG_CREATE) && !korvex::posix::process::MakeFolderPath(folder)) return E_FAIL;
  memcpy(pszPath, folder.c_str(), folder.size() + 1);
  // As the ANSI function reports it: a valid folder that does not exist yet.
  return present || (csidl & CSIDL_FLAG_CREATE) ? S_OK : S_FALSE;
}
