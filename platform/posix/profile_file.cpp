#include "platform/posix/profile_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "korvex/platform.h"
#include "platform/posix/native_path.h"
#include "platform/posix/shell_folder.h"

namespace korvex {
namespace posix {
namespace {

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

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_WRITE_FAULT;
  }
}

bool Fail() {
  SetLastError(ErrorFromErrno(errno));
  return false;
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

}  // namespace

std::string ProfilePath(const char* fileName, bool forWriting) {
  if (!fileName || !*fileName) return std::string();
  std::string path = NativePath(fileName);
  if (path.find('/') != std::string::npos) return path;
  // The stand-in for the Windows folder always exists for a writer, as the real one does.
  std::string folder = UserConfigFolder() + "/korvex";
  if (forWriting) MakeFolderPath(folder);
  return folder + "/" + path;
}

std::string ReadProfile(const std::string& path) {
  std::string content;
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return content;
  char chunk[8192];
  for (;;) {
    ssize_t got = read(fd.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    content.append(chunk, static_cast<size_t>(got));
  }
  return content;
}

bool UpdateProfile(const std::string& path, const std::function<bool(ProfileText&)>& edit) {
  FileDescriptor lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.get() < 0 || LockExclusive(lock.get()) != 0) return Fail();

  ProfileText text(ReadProfile(path));
  if (!edit(text)) return true;

  // Written beside the file and renamed over it, so that a reader or a crash
  // sees the whole old file or the whole new one. The lock makes the name ours.
  std::string temporary = path + ".tmp";
  FileDescriptor out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (out.get() < 0) return Fail();
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0) fchmod(out.get(), existing.st_mode & 07777);
  if (!WriteAll(out.get(), text.Serialize()) || fdatasync(out.get()) != 0 ||
      rename(temporary.c_str(), path.c_str()) != 0) {
    int error = errno;
    unlink(temporary.c_str());
    errno = error;
    return Fail();
  }
  return true;
}

}  // namespace posix
}  // namespace korvex
