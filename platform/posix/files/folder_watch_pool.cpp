#include "platform/posix/files/folder_watch_pool.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace korvex {
namespace posix {
namespace files {
namespace {

constexpr size_t kMaxIdle = 8;

struct Pool {
  std::mutex mutex;
  pid_t owner = 0;  // a forked child shares its parent's descriptors: it keeps none of them
  std::vector<FolderWatch> idle;
};

Pool& Idle() {
  static Pool* pool = new Pool;  // outlives static destruction
  return *pool;
}

void Drain(int fd) {
  alignas(inotify_event) char buffer[4096];
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
}

// A kept descriptor, the one already watching folder if there is one.
FolderWatch TakeIdle(const std::string& folder, uint32_t mask) {
  Pool& pool = Idle();
  std::vector<FolderWatch> inherited;
  FolderWatch taken;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.owner != getpid()) {
      inherited.swap(pool.idle);
      pool.owner = getpid();
    }
    if (pool.idle.empty()) return taken;
    size_t pick = pool.idle.size() - 1;
    for (size_t i = 0; i < pool.idle.size(); ++i)
      if (pool.idle[i].folder == folder && pool.idle[i].mask == mask) pick = i;
    taken = std::move(pool.idle[pick]);
    pool.idle.erase(pool.idle.begin() + static_cast<std::ptrdiff_t>(pick));
  }
  for (auto& watch : inherited) close(watch.fd);  // the parent's stay open
  return taken;
}

}  // namespace

bool TakeFolderWatch(const std::string& folder, uint32_t mask, FolderWatch* watch) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return false;
  FolderWatch taken = TakeIdle(folder, mask);
  if (taken.fd < 0) taken.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (taken.fd < 0) return false;
  // A folder made anew under the same name is another inode: watched afresh.
  if (taken.folder != folder || taken.mask != mask || taken.device != info.st_dev || taken.inode != info.st_ino) {
    if (taken.wd >= 0) inotify_rm_watch(taken.fd, taken.wd);
    taken.wd = inotify_add_watch(taken.fd, folder.c_str(), mask);
    taken.folder = folder;
    taken.mask = mask;
    taken.device = info.st_dev;
    taken.inode = info.st_ino;
    if (taken.wd < 0) {
      close(taken.fd);
      return false;
    }
  }
  Drain(taken.fd);
  *watch = std::move(taken);
  return true;
}

void ReturnFolderWatch(FolderWatch watch) {
  if (watch.fd < 0) return;
  {
    Pool& pool = Idle();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.owner == getpid() && watch.wd >= 0 && pool.idle.size() < kMaxIdle) {
      pool.idle.push_back(std::move(watch));
      return;
    }
  }
  close(watch.fd);
}

}  // namespace files
}  // namespace posix
}  // namespace korvex
