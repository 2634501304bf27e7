#include "platform/posix/files/file_attributes.h"

#include <errno.h>

#include "platform/posix/common/errno_error.h"
#include "platform/posix/common/native_path.h"

namespace korvex {
namespace posix {
namespace files {

DWORD FileAttributesOf(const struct stat& info, const char* name) {
  DWORD attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (IsReadOnly(info.st_mode)) attributes |= FILE_ATTRIBUTE_READONLY;
  bool selfOrParent = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
  if (name[0] == '.' && !selfOrParent) attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool IsReadOnly(mode_t mode) { return !(mode & S_IWUSR); }

std::string LastComponentOf(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return std::string();
  size_t slash = path.rfind('/', end);
  size_t begin = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(begin, end + 1 - begin);
}

}  // namespace files
}  // namespace posix
}  // namespace korvex

DWORD GetFileAttributesA(LPCSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string path = korvex::posix::NativePath(fileName);
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : korvex::posix::Win32ErrorFromErrno(errno, path));
    return INVALID_FILE_ATTRIBUTES;
  }
  return korvex::posix::files::FileAttributesOf(info, korvex::posix::files::LastComponentOf(path).c_str());
}
