#include "platform/posix/common/errno_error.h"

#include <errno.h>
#include <sys/stat.h>

namespace korvex {
namespace posix {
namespace {

// The folder part of a native path: "." when it has none, "/" for the root.
std::string FolderOf(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "/";
  size_t slash = path.rfind('/', end);
  if (slash == std::string::npos) return ".";
  size_t folderEnd = path.find_last_not_of('/', slash);
  return folderEnd == std::string::npos ? "/" : path.substr(0, folderEnd + 1);
}

}  // namespace

LONG Win32ErrorFromErrno(int error, const std::string& path, LONG otherwise) {
  switch (error) {
    case ENOENT: {
      struct stat folder;
      bool folderExists = !path.empty() && stat(FolderOf(path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
      return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EIO:
      return ERROR_IO_DEVICE;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    default:
      return otherwise;
  }
}

}  // namespace posix
}  // namespace korvex
