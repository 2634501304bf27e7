#include <errno.h>
#include <sys/stat.h>

#include "korvex/platform.h"
#include "platform/posix/common/errno_error.h"
#include "platform/posix/common/native_path.h"

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes) {
  (void)securityAttributes;
  if (!pathName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = korvex::posix::NativePath(pathName);
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (mkdir(path.c_str(), 0777) != 0) {
    SetLastError(korvex::posix::Win32ErrorFromErrno(errno, path));
    return FALSE;
  }
  return TRUE;
}
