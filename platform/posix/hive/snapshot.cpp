#include "platform/posix/hive/snapshot.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/common/file_descriptor.h"
#include "platform/posix/hive/hive_files.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

LONG CopyError() { return errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE; }

bool CopyAll(int from, int to) {
  for (;;) {
    ssize_t sent = sendfile(to, from, nullptr, 1 << 30);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return sent == 0;
  }
}

}  // namespace

LONG PublishSnapshot(const std::string& working, const std::string& published) {
  // One name for the copy under way: writers publish one at a time. What a
  // writer that died left there is removed; another user's file is not.
  std::string next = published + "-next";
  struct stat info;
  if (lstat(next.c_str(), &info) == 0 && (!TrustedOwner(info.st_uid) || unlink(next.c_str()) != 0))
    return ERROR_ACCESS_DENIED;
  FileDescriptor in(open(working.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (in.get() < 0) return CopyError();
  LONG rc = ERROR_SUCCESS;
  {
    FileDescriptor out(open(next.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    bool copied =
        out.get() >= 0 && fchmod(out.get(), 0644) == 0 && CopyAll(in.get(), out.get()) && fsync(out.get()) == 0;
    if (!copied || rename(next.c_str(), published.c_str()) != 0) rc = CopyError();
  }
  if (rc != ERROR_SUCCESS) {
    unlink(next.c_str());
    return rc;
  }
  SyncFolder(published.substr(0, published.rfind('/') + 1));
  return ERROR_SUCCESS;
}

std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace hive
}  // namespace posix
}  // namespace korvex
