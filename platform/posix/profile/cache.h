#ifndef KORVEX_PLATFORM_POSIX_PROFILE_CACHE_H
#define KORVEX_PLATFORM_POSIX_PROFILE_CACHE_H

// The parsed profile files of this process, so that reading many values of one
// file parses it once. Bounded to a few files; safe to use from several threads.
//
// A file in a folder this process watches (inotify) is kept until an event
// names it: the kernel queues the event before a writer's rename or write
// returns, so a read that follows a completed write sees it, and a read costs
// one look at the queue without waiting. Other files are checked against their
// identity (device, inode, size, modification time) at every read, and kept
// only once their time is older than the file system's timestamp step, since
// a file could change again within one step without its time changing.
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/profile/text.h"

namespace korvex {
namespace posix {
namespace profile {

struct FileIdentity {
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
};

FileIdentity IdentityOf(const struct stat& info);

// What the cache knows of a file: its text when proven current without a look
// at the file, else whether its folder is watched and the count of events seen
// so far, to hand back when the file's new text is kept.
struct CacheLookup {
  std::shared_ptr<const ProfileText> text;
  bool watched = false;
  uint64_t events = 0;
};

// Starts watching the file's folder where it can (an absolute path in a folder
// free of links on a local file system).
CacheLookup LookUpProfile(const std::string& path);

// The text read from the file with this identity, for files not watched; null
// when there is none.
std::shared_ptr<const ProfileText> CachedProfile(const std::string& path, const FileIdentity& identity);

// Keeps a text read at readStart after `lookup`. `plain` says the file has this
// one name and it is no link: another name may change it in a folder that is
// not watched.
void RememberProfile(const std::string& path, const FileIdentity& identity, const struct timespec& readStart,
                     bool plain, const CacheLookup& lookup, std::shared_ptr<const ProfileText> text);

// Keeps the text this process just renamed from `temporary` over `path`, when
// the watch shows that nothing else touched the file since `lookup`.
void RememberOwnWrite(const std::string& path, const std::string& temporary, const FileIdentity& identity,
                      const CacheLookup& lookup, std::shared_ptr<const ProfileText> text);

void ForgetProfile(const std::string& path);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
