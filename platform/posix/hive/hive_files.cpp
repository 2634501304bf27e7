#include "platform/posix/hive/hive_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

LONG LocateHive(const std::string& path, mode_t folderMode, std::string* real, std::string* blocker) {
  std::string ignored;
  std::string& at = blocker ? *blocker : ignored;
  size_t slash = path.rfind('/');
  at = slash == 0 ? "/" : path.substr(0, slash);
  process::MakeFolderPath(at, folderMode);
  // The hive's own folder is no link; the folders above it are taken as they
  // resolve, and each is checked, up to the root.
  struct stat info;
  if (lstat(at.c_str(), &info) != 0) return LookError();
  if (OthersControl(info)) return ERROR_ACCESS_DENIED;
  char* resolved = realpath(at.c_str(), nullptr);
  if (!resolved) return LookError();
  at = resolved;
  free(resolved);
  *real = (at == "/" ? "" : at) + path.substr(slash);
  while (at.size() > 1) {
    at.erase(at.rfind('/'));
    if (at.empty()) at = "/";
    if (stat(at.c_str(), &info) != 0) return LookError();
    if (OthersControl(info)) return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

std::string DescribeHiveObstacle(const std::string& path, mode_t folderMode) {
  std::string real, folder;
  if (LocateHive(path, folderMode, &real, &folder) != ERROR_SUCCESS) {
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) return folder + ": " + strerror(errno);
    if (!TrustedOwner(info.st_uid)) return "the folder " + folder + " belongs to another user";
    char mode[8];
    snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return "others may change the folder " + folder + ", mode " + mode;
  }
  // The file, or the folder that would have to take it.
  std::string tried = access(real.c_str(), F_OK) == 0 ? real : real.substr(0, real.rfind('/'));
  if (access(tried.c_str(), R_OK | W_OK) != 0) return tried + ": " + strerror(errno);
  return "";
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
