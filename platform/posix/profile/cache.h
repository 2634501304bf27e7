#ifndef KORVEX_PLATFORM_POSIX_PROFILE_CACHE_H
#define KORVEX_PLATFORM_POSIX_PROFILE_CACHE_H

// The parsed profile files of this process, so that reading many values of one
// file parses it once. An entry is used only while the file is the one it was
// read from: same device, inode, size and modification time. Writers replace
// the file (a new inode), so another process's write is seen at the next read.
// Bounded to a few files; safe to use from several threads.
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/posix/profile/text.h"

namespace korvex {
namespace posix {

struct FileIdentity {
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
};

FileIdentity IdentityOf(const struct stat& info);

// The text read from the file with this identity; null when there is none.
std::shared_ptr<const ProfileText> CachedProfile(const std::string& path, const FileIdentity& identity);

// Keeps a text read at readStart. A file modified less than a timestamp step
// before the read could change again without its time changing, so its text is
// not kept.
void RememberProfile(const std::string& path, const FileIdentity& identity, const struct timespec& readStart,
                     std::shared_ptr<const ProfileText> text);

void ForgetProfile(const std::string& path);

}  // namespace posix
}  // namespace korvex

#endif
