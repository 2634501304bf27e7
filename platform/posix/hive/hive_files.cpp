#include "platform/posix/hive/hive_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/process/shell_folder.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

// A folder another user may change: theirs, or one they may write to without
// the sticky bit that keeps them from removing or renaming what is ours.
bool OthersControl(const struct stat& folder) {
  bool othersWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) && !(folder.st_mode & S_ISVTX);
  return !S_ISDIR(folder.st_mode) || !TrustedOwner(folder.st_uid) || othersWrite;
}

LONG LookError() { return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN; }

}  // namespace

bool TrustedOwner(uid_t owner) { return owner == geteuid() || owner == 0; }

std::string HivePath(HKEY root) {
  const char* dir = getenv("KORVEX_REGISTRY_DIR");
  bool user = root == HKEY_CURRENT_USER;
  if (dir && *dir) return std::string(dir) + (user ? "/user.db" : "/machine.db");
  if (!user) return "/etc/korvex/machine.db";
  std::string config = process::UserConfigFolder();
  return config.empty() ? config : config + "/korvex/user.db";
}

LONG LocateHive(const std::string& path, mode_t folderMode, std::string* real) {
  size_t slash = path.rfind('/');
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  process::MakeFolderPath(folder, folderMode);
  // The hive's own folder is no link; the folders above it are taken as they
  // resolve, and each is checked, up to the root.
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0) return LookError();
  if (OthersControl(info)) return ERROR_ACCESS_DENIED;
  char* resolved = realpath(folder.c_str(), nullptr);
  if (!resolved) return LookError();
  std::string chain = resolved;
  free(resolved);
  *real = (chain == "/" ? "" : chain) + path.substr(slash);
  while (chain.size() > 1) {
    chain.erase(chain.rfind('/'));
    if (chain.empty()) chain = "/";
    if (stat(chain.c_str(), &info) != 0) return LookError();
    if (OthersControl(info)) return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

LONG PrepareHiveFile(const std::string& path, mode_t mode, bool create, bool* created) {
  if (created) *created = false;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return LookError();
    if (!create) return ERROR_SUCCESS;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    // A folder closed to us is closed to every other user but root: what is
    // missing there stays missing. Another process of ours may have made it
    // in between; it is checked below.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) return ERROR_SUCCESS;
    if (fd < 0 && errno != EEXIST) return LookError();
    if (fd >= 0) {
      bool exact = fchmod(fd, mode) == 0;  // whatever the umask
      close(fd);
      if (!exact) return ERROR_ACCESS_DENIED;
      if (created) *created = true;
      return ERROR_SUCCESS;
    }
    if (lstat(path.c_str(), &info) != 0) return LookError();
  }
  if (S_ISLNK(info.st_mode) || !TrustedOwner(info.st_uid)) return ERROR_ACCESS_DENIED;
  if (!S_ISREG(info.st_mode)) return ERROR_CANTOPEN;
  if (info.st_uid == geteuid() && (info.st_mode & 0777 & ~mode)) chmod(path.c_str(), info.st_mode & mode & 0777);
  return ERROR_SUCCESS;
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
