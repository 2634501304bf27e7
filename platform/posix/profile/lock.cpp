#include "platform/posix/profile/lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>

#include <algorithm>
#include <cstdint>

#include "platform/posix/common/clock.h"
#include "platform/posix/common/errno_error.h"
#include "platform/posix/common/file_descriptor.h"

namespace korvex {
namespace posix {
namespace profile {
namespace {

// A taken lock is tried again soon, then less and less often: a short write
// is waited for briefly, a long one costs few wake-ups.
constexpr long kFirstPauseNs = 100 * 1000, kLongestPauseNs = 10 * 1000 * 1000;

// Read and write for each class of users that may write the file, and for its owner.
mode_t LockModeFor(mode_t file) {
  mode_t writers = file & (S_IWGRP | S_IWOTH);
  return S_IRUSR | S_IWUSR | writers | writers << 1;
}

LONG WaitForLock(int fd, const std::string& name) {
  int64_t deadline = MonotonicNs() + kLockWaitNs;
  for (long pause = kFirstPauseNs; flock(fd, LOCK_EX | LOCK_NB) != 0; pause = std::min(2 * pause, kLongestPauseNs)) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return Win32ErrorFromErrno(errno, name, ERROR_WRITE_FAULT);
    if (MonotonicNs() >= deadline) return ERROR_SHARING_VIOLATION;
    struct timespec wait = {0, pause};
    nanosleep(&wait, nullptr);
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG TakeProfileLock(const std::string& path, const struct stat* file, int* lock) {
  std::string name = path + ".lock";
  // Never through a link, which another user could plant; without blocking on
  // a FIFO planted in its place.
  FileDescriptor fd(open(name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                         file ? LockModeFor(file->st_mode) : S_IRUSR | S_IWUSR));
  struct stat info;
  if (fd.get() < 0 || fstat(fd.get(), &info) != 0) return Win32ErrorFromErrno(errno, name, ERROR_WRITE_FAULT);
  if (!S_ISREG(info.st_mode)) return ERROR_ACCESS_DENIED;
  if (file) ShareProfileLock(fd.get(), *file);
  LONG error = WaitForLock(fd.get(), name);
  if (error == ERROR_SUCCESS) *lock = fd.release();
  return error;
}

void ShareProfileLock(int lock, const struct stat& file) {
  struct stat info, wanted = file;
  wanted.st_mode = LockModeFor(file.st_mode);
  if (fstat(lock, &info) == 0 &&
      ((info.st_mode & 07777) != wanted.st_mode || info.st_uid != file.st_uid || info.st_gid != file.st_gid))
    KeepOwnerAndMode(lock, wanted);
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex
