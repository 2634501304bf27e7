#ifndef KORVEX_PLATFORM_POSIX_FILES_FOLDER_WATCH_POOL_H
#define KORVEX_PLATFORM_POSIX_FILES_FOLDER_WATCH_POOL_H

// inotify descriptors that each watch one folder, kept for reuse: closing one
// waits for the kernel to retire its watches, several milliseconds, which a
// wait that just saw its change must not spend before it returns.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace korvex {
namespace posix {
namespace files {

struct FolderWatch {
  int fd = -1;  // non-blocking
  int wd = -1;
  uint32_t mask = 0;
  std::string folder;
  dev_t device = 0;
  ino_t inode = 0;
};

// A descriptor that watches folder for the events in mask, with no event
// pending yet; false when the folder cannot be watched.
bool TakeFolderWatch(const std::string& folder, uint32_t mask, FolderWatch* watch);
// Gives a descriptor back, to keep or close.
void ReturnFolderWatch(FolderWatch watch);

}  // namespace files
}  // namespace posix
}  // namespace korvex

#endif
