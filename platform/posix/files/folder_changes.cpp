#include <dirent.h>
#include <errno.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <unordered_map>

#include "korvex/platform.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/common/native_path.h"

using namespace korvex::posix;

namespace {

constexpr DWORD kNameBits = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
constexpr DWORD kAllBits = kNameBits | FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_LAST_ACCESS |
                           FILE_NOTIFY_CHANGE_CREATION | FILE_NOTIFY_CHANGE_SECURITY;
constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

uint32_t KernelMask(DWORD filter, bool subtree) {
  uint32_t mask = 0;
  if (filter & kNameBits) mask |= kNameEvents;
  if (filter & FILE_NOTIFY_CHANGE_CREATION) mask |= IN_CREATE | IN_MOVED_TO;
  if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) mask |= IN_MODIFY;
  if (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY | FILE_NOTIFY_CHANGE_LAST_WRITE))
    mask |= IN_ATTRIB;
  if (filter & FILE_NOTIFY_CHANGE_LAST_ACCESS) mask |= IN_ACCESS;
  if (subtree) mask |= IN_CREATE | IN_MOVED_TO;  // to watch new subfolders
  return mask | IN_ONLYDIR | IN_DONT_FOLLOW;
}

bool Reported(DWORD filter, uint32_t mask) {
  if (mask & IN_Q_OVERFLOW) return true;  // changes were lost: say that something changed
  if ((mask & kNameEvents) && (filter & (mask & IN_ISDIR ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)))
    return true;
  if ((mask & (IN_CREATE | IN_MOVED_TO)) && (filter & FILE_NOTIFY_CHANGE_CREATION)) return true;
  if ((mask & IN_MODIFY) && (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE))) return true;
  if ((mask & IN_ATTRIB) &&
      (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY | FILE_NOTIFY_CHANGE_LAST_WRITE)))
    return true;
  return (mask & IN_ACCESS) && (filter & FILE_NOTIFY_CHANGE_LAST_ACCESS);
}

class FolderChanges : public KernelObject {
public:
  FolderChanges(DWORD filter, bool subtree)
      : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), filter_(filter), subtree_(subtree) {}
  ~FolderChanges() override {
    if (fd_ >= 0) close(fd_);
  }

  // False when the folder itself cannot be watched.
  bool Watch(const std::string& folder) {
    std::lock_guard<std::mutex> lock(readLock_);
    return fd_ >= 0 && AddTree(folder) >= 0;
  }

  void Refresh() override {
    bool changed = false;
    {
      std::lock_guard<std::mutex> lock(readLock_);
      alignas(inotify_event) char buffer[16384];
      ssize_t length;
      while ((length = read(fd_, buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + length;) {
          auto* event = reinterpret_cast<inotify_event*>(at);
          changed |= Take(*event);
          at += sizeof(inotify_event) + event->len;
        }
      }
    }
    if (!changed) return;
    std::lock_guard<std::mutex> lock(LayerLock());
    signalled_ = true;
    WakeWaiters();
  }

  void CollectFds(std::vector<int>* fds, std::vector<std::shared_ptr<KernelObject>>*) const override {
    fds->push_back(fd_);
  }
  bool Signalled() const override { return signalled_; }
  void Rearm() { signalled_ = false; }

private:
  // The watch descriptor of the folder, or -1. With subtree, its subfolders too.
  int AddTree(const std::string& folder) {
    int wd = inotify_add_watch(fd_, folder.c_str(), KernelMask(filter_, subtree_));
    if (wd < 0) return -1;
    folders_[wd] = folder;
    if (!subtree_) return wd;
    if (DIR* dir = opendir(folder.c_str())) {
      while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info;
        std::string path = folder + "/" + name;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) AddTree(path);
      }
      closedir(dir);
    }
    return wd;
  }

  // True when the event is a change the filter names.
  bool Take(const inotify_event& event) {
    if (event.mask & IN_IGNORED) {
      folders_.erase(event.wd);
      return false;
    }
    bool reported = Reported(filter_, event.mask);
    auto folder = folders_.find(event.wd);
    if (subtree_ && (event.mask & IN_ISDIR) && (event.mask & (IN_CREATE | IN_MOVED_TO)) && folder != folders_.end()) {
      std::string path = folder->second + "/" + event.name;
      // Entries made in it before its watch began are changes too.
      if (AddTree(path) >= 0 && (filter_ & kNameBits) && !Empty(path)) reported = true;
    }
    return reported;
  }

  static bool Empty(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return true;
    int entries = 0;
    while (readdir(dir)) ++entries;
    closedir(dir);
    return entries <= 2;
  }

  const int fd_;
  const DWORD filter_;
  const bool subtree_;
  std::mutex readLock_;
  std::unordered_map<int, std::string> folders_;
  bool signalled_ = false;
};

}  // namespace

HANDLE FindFirstChangeNotificationA(LPCSTR pathName, BOOL watchSubtree, DWORD notifyFilter) {
  if (!pathName || !notifyFilter || (notifyFilter & ~kAllBits)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder = NativePath(pathName);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto changes = std::make_shared<FolderChanges>(notifyFilter, watchSubtree);
  if (!changes->Watch(folder)) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return AddHandle(changes);
}

BOOL FindNextChangeNotification(HANDLE changeHandle) {
  auto thread = CurrentThread();
  std::lock_guard<std::mutex> lock(LayerLock());
  auto changes = FindHandleOf<FolderChanges>(changeHandle);
  if (!changes) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // A terminated watcher loop gets no further wait, so it cannot spin.
  if (thread->terminated) {
    SetLastError(ERROR_OPERATION_ABORTED);
    return FALSE;
  }
  changes->Rearm();
  return TRUE;
}

BOOL FindCloseChangeNotification(HANDLE changeHandle) {
  std::shared_ptr<KernelObject> released;
  std::lock_guard<std::mutex> lock(LayerLock());
  if (!FindHandleOf<FolderChanges>(changeHandle) || !RemoveHandle(changeHandle, &released)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
