#include "platform/posix/profile/file.h"

#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "korvex/platform.h"
#include "platform/posix/common/errno_error.h"
#include "platform/posix/common/native_path.h"
#include "platform/posix/profile/cache.h"
#include "platform/posix/process/shell_folder.h"

namespace korvex {
namespace posix {
namespace {

// Links followed when resolving a profile's name, as the kernel allows.
constexpr int kMaxLinks = 40;
// Reads take no more of a file than this, so that a corrupt or hostile file
// cannot take the process's memory.
constexpr size_t kMaxProfileFile = 4 * 1024 * 1024;
constexpr int kTemporaryAttempts = 100;
// Temporary files this old were left by a writer that died.
constexpr time_t kStaleTemporarySeconds = 60;

// Closes a descriptor when it goes out of scope; closing the lock file's
// descriptor also releases the lock.
class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

bool FailWrite(const std::string& path) { return Fail(Win32ErrorFromErrno(errno, path, ERROR_WRITE_FAULT)); }

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The whole file, and what it was when read. ERROR_FILE_NOT_FOUND when there is
// no file, ERROR_FILE_TOO_LARGE (with the first kMaxProfileFile bytes read)
// when it is longer than that, another error when it could not be read whole.
DWORD ReadWhole(const std::string& path, std::string* content, struct stat* info) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno, path, ERROR_READ_FAULT);
  if (fstat(fd.get(), info) != 0) return ERROR_READ_FAULT;
  // One byte more than the bound tells a file that is longer.
  size_t limit = kMaxProfileFile + 1, size = 0;
  content->resize(std::min(limit, static_cast<size_t>(info->st_size) + 1));
  for (;;) {
    if (size == content->size()) {
      if (size == limit) break;
      content->resize(std::min(limit, 2 * size));
    }
    ssize_t got = read(fd.get(), &(*content)[size], content->size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Win32ErrorFromErrno(errno, path, ERROR_READ_FAULT);
    if (got == 0) break;
    size += static_cast<size_t>(got);
  }
  content->resize(std::min(size, kMaxProfileFile));
  return size == limit ? ERROR_FILE_TOO_LARGE : ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& content) {
  for (size_t done = 0; done < content.size();) {
    ssize_t written = write(fd, content.data() + done, content.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

int LockExclusive(int fd) {
  int rc;
  do rc = flock(fd, LOCK_EX);
  while (rc != 0 && errno == EINTR);
  return rc;
}

// The kernel's rule for links in shared folders: in a sticky folder that anyone
// may write to, follow only links of our own or of the folder's owner, so that
// another user cannot plant a name that sends our write to a file of ours.
bool MayFollow(const struct stat& link, const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return false;
  bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
  return !shared || link.st_uid == geteuid() || link.st_uid == info.st_uid;
}

// The file a write must replace: links at the name followed, the folder made
// absolute and free of links, so that every name of one file locks one lock file
// and the rename lands on the file itself rather than on a link to it.
DWORD ResolveLinks(std::string path, std::string* real) {
  for (int links = 0;; ++links) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    if (links == kMaxLinks) return ERROR_PATH_NOT_FOUND;
    if (!MayFollow(info, FolderOf(path))) return ERROR_ACCESS_DENIED;
    char target[PATH_MAX];
    ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length < 0) return Win32ErrorFromErrno(errno, path);
    target[length] = '\0';
    path = target[0] == '/' ? std::string(target) : Join(FolderOf(path), target);
  }
  char* folder = realpath(FolderOf(path).c_str(), nullptr);
  if (!folder) return Win32ErrorFromErrno(errno, path);
  *real = Join(folder, NameOf(path));
  free(folder);
  return ERROR_SUCCESS;
}

std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t mixed =
      (static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30)) * 0x9E3779B97F4A7C15u;
  mixed ^= (static_cast<uint64_t>(getpid()) << 20) + counter++;
  std::string suffix;
  for (int i = 0; i < 8; ++i, mixed /= 36) suffix.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[mixed % 36]);
  return suffix;
}

// A new file beside the profile that nobody else can have planted: a fresh name,
// created exclusively, never through a link, with no more access than the
// profile will have.
int CreateTemporary(const std::string& path, mode_t mode, std::string* name) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    *name = path + "." + UniqueSuffix() + ".tmp";
    int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The replacement gets the old file's mode, and its owner and group where this
// process may give them (the owner needs privileges, the group membership);
// otherwise it stays with this process's owner and group.
bool KeepOwnerAndMode(int fd, const struct stat& old) {
  static_cast<void>(fchown(fd, old.st_uid, old.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0);
  return fchmod(fd, old.st_mode & 07777) == 0;
}

// Durable once the folder's new entry is on disk; some file systems cannot sync
// a folder, and the file is already in place, so a failure here is not reported.
void SyncFolder(const std::string& folder) {
  FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

// Temporary files of this profile ("<name>.<8 characters>.tmp") that a writer
// killed before its rename left behind, removed when they are the caller's and
// older than any write could take. Called under the profile's lock.
void RemoveStaleTemporaries(const std::string& path) {
  std::string folder = FolderOf(path), prefix = NameOf(path) + ".";
  DIR* listing = opendir(folder.c_str());
  if (!listing) return;
  time_t now = time(nullptr);
  while (const struct dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name.size() != prefix.size() + 12 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
      continue;
    struct stat info;
    if (fstatat(dirfd(listing), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        info.st_uid == geteuid() && info.st_mtime + kStaleTemporarySeconds < now)
      unlinkat(dirfd(listing), name.c_str(), 0);
  }
  closedir(listing);
}

// Written beside the file and renamed over it, so that a reader or a crash sees
// the whole old file or the whole new one. Gives the temporary name the new
// file had and its identity.
bool Replace(const std::string& path, const std::string& content, const struct stat* old, std::string* temporary,
             struct stat* written) {
  FileDescriptor out(CreateTemporary(path, old ? old->st_mode & 0777 : 0666, temporary));
  if (out.get() < 0) return FailWrite(path);
  if ((old && !KeepOwnerAndMode(out.get(), *old)) || !WriteAll(out.get(), content) || fdatasync(out.get()) != 0 ||
      fstat(out.get(), written) != 0 || rename(temporary->c_str(), path.c_str()) != 0) {
    int error = errno;
    unlink(temporary->c_str());
    errno = error;
    return FailWrite(path);
  }
  SyncFolder(FolderOf(path));
  return true;
}

}  // namespace

std::string ProfilePath(const char* fileName, bool forWriting) {
  if (!fileName || !*fileName) return std::string();
  std::string path = NativePath(fileName);
  if (path.find('/') != std::string::npos) return path;
  // The stand-in for the Windows folder always exists for a writer, as the real one does.
  std::string folder = UserConfigFolder() + "/korvex";
  if (forWriting && MakeFolderPath(UserConfigFolder())) mkdir(folder.c_str(), 0700);
  return folder + "/" + path;
}

std::shared_ptr<const ProfileText> LoadProfile(const char* fileName) {
  SetLastError(ERROR_SUCCESS);  // as Win32's reads do when they succeed
  std::string path = ProfilePath(fileName, false);
  if (path.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::make_shared<const ProfileText>(std::string());
  }
  CacheLookup lookup = LookUpProfile(path);
  if (lookup.text) return lookup.text;
  struct stat info;
  // A file of several names could be changed through one in another folder.
  bool plain = lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode) && info.st_nlink == 1;
  if (plain || stat(path.c_str(), &info) == 0)
    if (std::shared_ptr<const ProfileText> cached = CachedProfile(path, IdentityOf(info))) return cached;

  struct timespec start;
  clock_gettime(CLOCK_REALTIME, &start);
  std::string content;
  DWORD error = ReadWhole(path, &content, &info);
  // A file too long is read as far as the bound.
  if (error != ERROR_SUCCESS && error != ERROR_FILE_TOO_LARGE) {
    SetLastError(error);
    return std::make_shared<const ProfileText>(std::string());
  }
  auto text = std::make_shared<const ProfileText>(std::move(content));
  RememberProfile(path, IdentityOf(info), start, plain, lookup, text);
  return text;
}

bool UpdateProfile(const char* section, const char* fileName, const std::function<bool(ProfileText&)>& edit) {
  if (!section || !fileName) return Fail(ERROR_FILE_NOT_FOUND);
  if (!*fileName) return Fail(ERROR_ACCESS_DENIED);
  std::string given = ProfilePath(fileName, true), path;
  DWORD error = ResolveLinks(given, &path);
  if (error != ERROR_SUCCESS) return Fail(error);

  // Readable by anyone who may lock it: flock needs no write access.
  FileDescriptor lock(open((path + ".lock").c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (lock.get() < 0 || LockExclusive(lock.get()) != 0) return FailWrite(path);

  std::string content;
  struct stat old;
  error = ReadWhole(path, &content, &old);
  // Editing what could not be read whole would wipe the rest of the file.
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return Fail(error);
  ProfileText text(std::move(content));
  if (!edit(text)) return true;
  if (!text.Whole()) return Fail(ERROR_FILE_TOO_LARGE);
  RemoveStaleTemporaries(path);
  // The file's own name, watched before the rename so that the watch shows
  // whether anything but this write touched it.
  bool own = given == path;
  CacheLookup lookup;
  if (own) lookup = LookUpProfile(path);
  ForgetProfile(given);
  ForgetProfile(path);
  std::string serialized = text.Serialize(), temporary;
  struct stat written;
  if (!Replace(path, serialized, error == ERROR_SUCCESS ? &old : nullptr, &temporary, &written)) return false;
  // Kept as a reader would parse it: an edit may hold line ends in a value.
  if (own)
    RememberOwnWrite(path, temporary, IdentityOf(written), lookup,
                     std::make_shared<const ProfileText>(std::move(serialized)));
  return true;
}

}  // namespace posix
}  // namespace korvex
