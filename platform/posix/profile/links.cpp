#include "platform/posix/profile/links.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/common/errno_error.h"

namespace korvex {
namespace posix {
namespace profile {
namespace {

// Links followed when resolving a profile's name, as the kernel allows.
constexpr int kMaxLinks = 40;

// The kernel's rule for links in shared folders: in a sticky folder that anyone
// may write to, follow only links of our own or of the folder's owner, so that
// another user cannot plant a name that sends our write to a file of ours.
bool MayFollow(const struct stat& link, const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return false;
  bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
  return !shared || link.st_uid == geteuid() || link.st_uid == info.st_uid;
}

}  // namespace

LONG ResolveLinks(const std::string& path, std::string* real) {
  // The part resolved so far ("" for the root) and the names still to walk.
  std::string resolved, rest = path;
  if (path.empty() || path[0] != '/') {
    char* folder = getcwd(nullptr, 0);
    if (!folder) return Win32ErrorFromErrno(errno, path);
    resolved = folder;
    free(folder);
    if (resolved == "/") resolved.clear();
  }
  for (int links = 0; !rest.empty();) {
    size_t slash = rest.find('/');
    std::string name = rest.substr(0, slash);
    rest.erase(0, slash == std::string::npos ? slash : slash + 1);
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      resolved.erase(resolved.empty() ? 0 : resolved.rfind('/'));
      continue;
    }
    std::string next = resolved + "/" + name;
    struct stat info;
    if (lstat(next.c_str(), &info) != 0) {
      if (errno != ENOENT) return Win32ErrorFromErrno(errno, next);
      // The file itself may be missing (the write makes it), not a folder on the way.
      if (!rest.empty()) return ERROR_PATH_NOT_FOUND;
      resolved = next;
      break;
    }
    if (!S_ISLNK(info.st_mode)) {
      resolved = next;
      continue;
    }
    if (++links > kMaxLinks) return ERROR_PATH_NOT_FOUND;
    if (!MayFollow(info, resolved.empty() ? "/" : resolved)) return ERROR_ACCESS_DENIED;
    char target[PATH_MAX];
    ssize_t length = readlink(next.c_str(), target, sizeof target - 1);
    if (length < 0) return Win32ErrorFromErrno(errno, next);
    if (target[0] == '/') resolved.clear();
    rest = std::string(target, static_cast<size_t>(length)) + (rest.empty() ? "" : "/" + rest);
  }
  *real = resolved.empty() ? "/" : resolved;
  return ERROR_SUCCESS;
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex
