#include <errno.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/process/command_line.h"
#include "platform/posix/process/detached_spawn.h"
#include "platform/posix/common/native_path.h"

namespace {

const int kStarted = 42;

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The first executable file of that name in $PATH, else the first file of that
// name (whose start then fails with the reason), else the name itself.
std::string FindInPath(const std::string& name) {
  const char* list = getenv("PATH");
  std::string found;
  for (const char* p = list ? list : ""; *p;) {
    const char* end = p;
    while (*end && *end != ':') ++end;
    std::string folder(p, end);
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (found.empty() && access(candidate.c_str(), F_OK) == 0) found = candidate;
    p = *end ? end + 1 : end;
  }
  return found.empty() ? name : found;
}

int ResultOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return SE_ERR_FNF;
    case ENOEXEC:
    case ELIBBAD:
    case EINVAL:
      return ERROR_BAD_FORMAT;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
      return SE_ERR_OOM;
    default:
      return SE_ERR_ACCESSDENIED;
  }
}

HINSTANCE Failed(int result) {
  SetLastError(static_cast<DWORD>(result));
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(result));
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, int) {
  if (operation && *operation && strcasecmp(operation, "open") != 0) return Failed(SE_ERR_NOASSOC);
  if (!file || !*file) return Failed(SE_ERR_FNF);

  std::string folder = korvex::posix::NativePath(directory);
  struct stat info;
  if (!folder.empty() && (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) return Failed(SE_ERR_PNF);

  std::string path = korvex::posix::NativePath(file);
  if (path.find('/') == std::string::npos) path = FindInPath(path);
  std::vector<std::string> args = korvex::posix::process::SplitCommandLine(parameters);
  std::vector<char*> argv;
  argv.push_back(&path[0]);
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  if (!korvex::posix::process::SpawnDetached(path.c_str(), argv.data(), folder.empty() ? nullptr : folder.c_str()))
    return Failed(ResultOfErrno(errno));
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(kStarted));
}
