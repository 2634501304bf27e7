#ifndef KORVEX_PLATFORM_POSIX_COMMON_FILE_DESCRIPTOR_H
#define KORVEX_PLATFORM_POSIX_COMMON_FILE_DESCRIPTOR_H

// The descriptors of the files the layer makes and replaces: closed on leaving
// scope, given another file's owner and mode, and their folder synced.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace korvex {
namespace posix {

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
  // The descriptor, no longer closed here.
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

private:
  int fd_;
};

// Gives the file `like`'s mode, and its owner and group where this process may
// give them (the owner needs privileges, the group membership); otherwise it
// stays with this process's owner and group. False when the mode could not be set.
inline bool KeepOwnerAndMode(int fd, const struct stat& like) {
  static_cast<void>(fchown(fd, like.st_uid, like.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), like.st_gid) == 0);
  return fchmod(fd, like.st_mode & 07777) == 0;
}

// Durable once the folder's new entry is on disk; some file systems cannot sync
// a folder, and the file is in place all the same, so a failure is not reported.
void SyncFolder(const std::string& folder);

}  // namespace posix
}  // namespace korvex

#endif
