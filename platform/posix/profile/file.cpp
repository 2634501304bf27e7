#include "platform/posix/profile/file.h"

#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "korvex/platform.h"
#include "platform/posix/common/errno_error.h"
#include "platform/posix/common/file_descriptor.h"
#include "platform/posix/common/native_path.h"
#include "platform/posix/files/file_attributes.h"
#include "platform/posix/process/shell_folder.h"
#include "platform/posix/profile/cache.h"
#include "platform/posix/profile/links.h"
#include "platform/posix/profile/lock.h"

namespace korvex {
namespace posix {
namespace profile {
namespace {

// Reads take no more of a file than this, so that a corrupt or hostile file
// cannot take the process's memory; writes make no file longer.
constexpr size_t kMaxProfileFile = 4 * 1024 * 1024;
constexpr int kTemporaryAttempts = 100;
// Temporary files this old were left by a writer that died.
constexpr time_t kStaleTemporarySeconds = 60;
// Temporary files are "<name><mark><suffix><end>", the suffix kSuffixLength of
// kSuffixDigits: a mark that no file of the user's bears by chance, so that
// removing stale ones never takes one of those.
constexpr char kTemporaryMark[] = ".korvex-", kTemporaryEnd[] = ".tmp";
constexpr char kSuffixDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr size_t kSuffixLength = 8;

bool Fail(LONG error) {
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

// The whole file, and what it was when read. ERROR_FILE_NOT_FOUND when there is
// no file, ERROR_FILE_TOO_LARGE (with the first kMaxProfileFile bytes read)
// when it is longer than that, ERROR_ACCESS_DENIED for anything but a plain
// file, another error when it could not be read whole.
LONG ReadWhole(const std::string& path, std::string* content, struct stat* info) {
  // A FIFO would block the open, and the reads for good.
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno, path, ERROR_READ_FAULT);
  if (fstat(fd.get(), info) != 0) return ERROR_READ_FAULT;
  if (!S_ISREG(info->st_mode)) return ERROR_ACCESS_DENIED;
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

// Refused where writing the file itself would be: one with the read-only
// attribute even for root, as Windows refuses it to administrators, and one the
// kernel would not open for this process's writing.
LONG WriteAccess(const std::string& path, const struct stat& info) {
  if (files::IsReadOnly(info.st_mode)) return ERROR_ACCESS_DENIED;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno, path);
}

std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t mixed =
      (static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30)) * 0x9E3779B97F4A7C15u;
  mixed ^= (static_cast<uint64_t>(getpid()) << 20) + counter++;
  std::string suffix;
  for (size_t i = 0; i < kSuffixLength; ++i, mixed /= sizeof kSuffixDigits - 1)
    suffix.push_back(kSuffixDigits[mixed % (sizeof kSuffixDigits - 1)]);
  return suffix;
}

// Whether `name` is one of the temporary files of the profile named `profile`.
bool IsTemporaryOf(const std::string& name, const std::string& profile) {
  std::string prefix = profile + kTemporaryMark, end = kTemporaryEnd;
  return name.size() == prefix.size() + kSuffixLength + end.size() && name.compare(0, prefix.size(), prefix) == 0 &&
         name.find_first_not_of(kSuffixDigits, prefix.size()) == prefix.size() + kSuffixLength &&
         name.compare(name.size() - end.size(), end.size(), end) == 0;
}

// A new file beside the profile that nobody else can have planted: a fresh name,
// created exclusively, never through a link, with no more access than the
// profile will have.
int CreateTemporary(const std::string& path, mode_t mode, std::string* name) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    *name = path + kTemporaryMark + UniqueSuffix() + kTemporaryEnd;
    int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Temporary files of this profile that a writer killed before its rename left
// behind, removed when they are the caller's and older than any write could
// take. Called under the profile's lock.
void RemoveStaleTemporaries(const std::string& path) {
  std::string folder = FolderOf(path), profile = NameOf(path);
  DIR* listing = opendir(folder.c_str());
  if (!listing) return;
  time_t now = time(nullptr);
  while (const struct dirent* entry = readdir(listing)) {
    struct stat info;
    if (IsTemporaryOf(entry->d_name, profile) &&
        fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        info.st_uid == geteuid() && info.st_mtime + kStaleTemporarySeconds < now)
      unlinkat(dirfd(listing), entry->d_name, 0);
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
  std::string folder = process::UserConfigFolder() + "/korvex";
  if (forWriting && process::MakeFolderPath(process::UserConfigFolder())) mkdir(folder.c_str(), 0700);
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
  LONG error = ReadWhole(path, &content, &info);
  // A file too long is read as far as the bound, and its text knows it is cut.
  if (error != ERROR_SUCCESS && error != ERROR_FILE_TOO_LARGE) {
    SetLastError(error);
    return std::make_shared<const ProfileText>(std::string());
  }
  auto text = std::make_shared<const ProfileText>(std::move(content), error == ERROR_FILE_TOO_LARGE);
  RememberProfile(path, IdentityOf(info), start, plain, lookup, text);
  return text;
}

bool UpdateProfile(const char* section, const char* fileName, const std::function<bool(ProfileText&)>& edit) {
  if (!section || !fileName) return Fail(ERROR_FILE_NOT_FOUND);
  if (!*fileName) return Fail(ERROR_ACCESS_DENIED);
  std::string given = ProfilePath(fileName, true), path;
  LONG error = ResolveLinks(given, &path);
  if (error != ERROR_SUCCESS) return Fail(error);
  // Checked before the lock, so that a refused writer leaves no lock behind.
  struct stat current;
  bool exists = stat(path.c_str(), &current) == 0;
  if (exists && (error = WriteAccess(path, current)) != ERROR_SUCCESS) return Fail(error);
  int held = -1;
  error = TakeProfileLock(path, exists ? &current : nullptr, &held);
  FileDescriptor lock(held);
  if (error != ERROR_SUCCESS) return Fail(error);

  std::string content;
  struct stat old;
  error = ReadWhole(path, &content, &old);
  // Editing what could not be read whole would wipe the rest of the file.
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return Fail(error);
  ProfileText text(std::move(content));
  if (!edit(text)) return true;
  std::string serialized = text.Serialize(), temporary;
  // A longer file would read cut.
  if (!text.Whole() || serialized.size() > kMaxProfileFile) return Fail(ERROR_FILE_TOO_LARGE);
  RemoveStaleTemporaries(path);
  // The file's own name, watched before the rename so that the watch shows
  // whether anything but this write touched it.
  bool own = given == path;
  CacheLookup lookup;
  if (own) lookup = LookUpProfile(path);
  ForgetProfile(given);
  ForgetProfile(path);
  struct stat written;
  if (!Replace(path, serialized, error == ERROR_SUCCESS ? &old : nullptr, &temporary, &written)) return false;
  // A lock made with the file was private until the file's mode was known.
  if (error == ERROR_FILE_NOT_FOUND) ShareProfileLock(lock.get(), written);
  // Kept as a reader would parse it: an edit may hold line ends in a value.
  if (own)
    RememberOwnWrite(path, temporary, IdentityOf(written), lookup,
                     std::make_shared<const ProfileText>(std::move(serialized)));
  return true;
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex
