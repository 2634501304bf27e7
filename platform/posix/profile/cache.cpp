#include "platform/posix/profile/cache.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace korvex {
namespace posix {
namespace profile {
namespace {

// Enough for a product's own files; each holds a parsed file in memory.
constexpr size_t kCapacity = 8;
// Folders watched, or known not to be watchable, at most.
constexpr size_t kFolders = 2 * kCapacity;
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB |
                                   IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;

struct Entry {
  std::string path;
  FileIdentity identity;
  std::shared_ptr<const ProfileText> text;
  int watch;  // the watch of its folder, or -1 when checked by identity
};

struct Watch {
  int descriptor;
  std::string folder;
};

struct Event {
  int watch;
  uint32_t mask, cookie;
  std::string name;
};

std::mutex g_mutex;
int g_notify = -1;
uint64_t g_events = 0;

// Most recently used last. Never freed, so reads made while the process exits work.
std::vector<Entry>& Entries() {
  static std::vector<Entry>* entries = new std::vector<Entry>();
  return *entries;
}
std::vector<Watch>& Watches() {
  static std::vector<Watch>* watches = new std::vector<Watch>();
  return *watches;
}
std::vector<std::string>& Unwatchable() {
  static std::vector<std::string>* folders = new std::vector<std::string>();
  return *folders;
}

void EraseIf(bool (*test)(const Entry&, const void*), const void* what) {
  std::vector<Entry>& entries = Entries();
  entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Entry& e) { return test(e, what); }),
                entries.end());
}
bool IsWatched(const Entry& entry, const void*) { return entry.watch >= 0; }
bool InWatch(const Entry& entry, const void* watch) { return entry.watch == *static_cast<const int*>(watch); }
bool AtPath(const Entry& entry, const void* path) { return entry.path == *static_cast<const std::string*>(path); }

// A child forked while another thread held the lock would wait forever; and a
// child reading the parent's queue would take its events, so it starts afresh.
void LockForFork() { g_mutex.lock(); }
void UnlockInParent() { g_mutex.unlock(); }
void ResetInChild() {
  if (g_notify >= 0) close(g_notify);
  g_notify = -1;
  Watches().clear();
  Unwatchable().clear();
  EraseIf(IsWatched, nullptr);
  g_mutex.unlock();
}
[[maybe_unused]] const int g_forkHandlers = pthread_atfork(LockForFork, UnlockInParent, ResetInChild);

bool Same(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec;
}

int64_t Nanoseconds(const struct timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// How long a file's time may stay the same while it changes: the kernel stamps
// files from its coarse clock (one tick), and a file system keeps times no
// finer than its step, which shows in the times it gives: whole seconds (two
// on some) have no nanoseconds, hundredths end in seven zeros.
int64_t TimestampStepNs(const struct timespec& modified) {
  static const int64_t tick = [] {
    struct timespec resolution;
    return clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0 ? Nanoseconds(resolution) : 10000000;
  }();
  int64_t step = 1;
  if (modified.tv_nsec == 0) {
    step = 2000000000;
  } else {
    for (long rest = modified.tv_nsec; rest % 10 == 0; rest /= 10) step *= 10;
  }
  return tick + step;
}

const Watch* FindWatch(int descriptor) {
  for (const Watch& watch : Watches())
    if (watch.descriptor == descriptor) return &watch;
  return nullptr;
}

void DropWatch(int descriptor) {
  inotify_rm_watch(g_notify, descriptor);
  EraseIf(InWatch, &descriptor);
  std::vector<Watch>& watches = Watches();
  watches.erase(
      std::remove_if(watches.begin(), watches.end(), [&](const Watch& w) { return w.descriptor == descriptor; }),
      watches.end());
}

// Applies the events queued so far: a file named by one is no longer known.
void Drain(std::vector<Event>* seen) {
  alignas(struct inotify_event) char buffer[4096];
  for (;;) {
    ssize_t got = g_notify >= 0 ? read(g_notify, buffer, sizeof buffer) : -1;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    for (char* at = buffer; at < buffer + got;) {
      const struct inotify_event* event = reinterpret_cast<const struct inotify_event*>(at);
      at += sizeof(struct inotify_event) + event->len;
      ++g_events;
      if (event->mask & IN_Q_OVERFLOW) {
        EraseIf(IsWatched, nullptr);
        continue;
      }
      const Watch* watch = FindWatch(event->wd);
      if (!watch) continue;
      if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        DropWatch(event->wd);
        continue;
      }
      std::string name = event->len ? std::string(event->name) : std::string();
      std::string path = watch->folder + "/" + name;
      EraseIf(AtPath, &path);
      if (seen) seen->push_back({event->wd, event->mask, event->cookie, name});
    }
  }
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// File systems whose files other machines change without this kernel knowing.
bool Shared(const char* folder) {
  struct statfs info;
  if (statfs(folder, &info) != 0) return true;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFE534D42:  // SMB2
    case 0xFF534D42:  // CIFS
    case 0x65735546:  // FUSE
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
    case 0x01021997:  // 9P
    case 0x73757245:  // Coda
      return true;
    default:
      return false;
  }
}

// The watch of the path's folder, added when needed; -1 when it cannot be
// watched. A folder reached through a link is not watched: the link could be
// changed to lead elsewhere without an event in the folder.
int WatchFor(const std::string& path) {
  if (path.empty() || path[0] != '/') return -1;
  std::string folder = FolderOf(path);
  for (const Watch& watch : Watches())
    if (watch.folder == folder) return watch.descriptor;
  std::vector<std::string>& unwatchable = Unwatchable();
  if (std::find(unwatchable.begin(), unwatchable.end(), folder) != unwatchable.end()) return -1;
  if (Watches().size() >= kFolders) {
    // Folders no entry needs any more.
    for (size_t i = Watches().size(); i-- > 0;) {
      int descriptor = Watches()[i].descriptor;
      if (std::none_of(Entries().begin(), Entries().end(), [&](const Entry& e) { return e.watch == descriptor; }))
        DropWatch(descriptor);
    }
  }
  char* real = realpath(folder.c_str(), nullptr);
  bool canonical = real && folder == real;
  free(real);
  if (g_notify < 0 && canonical) g_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  int descriptor = -1;
  if (canonical && g_notify >= 0 && Watches().size() < kFolders && !Shared(folder.c_str()))
    descriptor = inotify_add_watch(g_notify, folder.c_str(), kFolderEvents);
  if (descriptor < 0) {
    if (unwatchable.size() == kFolders) unwatchable.erase(unwatchable.begin());
    unwatchable.push_back(folder);
    return -1;
  }
  Watches().push_back({descriptor, folder});
  return descriptor;
}

std::vector<Entry>::iterator Find(const std::string& path) {
  return std::find_if(Entries().begin(), Entries().end(), [&](const Entry& entry) { return entry.path == path; });
}

void Keep(Entry entry) {
  auto found = Find(entry.path);
  if (found != Entries().end()) Entries().erase(found);
  if (Entries().size() == kCapacity) Entries().erase(Entries().begin());
  Entries().push_back(std::move(entry));
}

}  // namespace

FileIdentity IdentityOf(const struct stat& info) { return {info.st_dev, info.st_ino, info.st_size, info.st_mtim}; }

CacheLookup LookUpProfile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Drain(nullptr);
  CacheLookup lookup;
  lookup.events = g_events;
  auto found = Find(path);
  if (found != Entries().end() && found->watch >= 0) {
    lookup.text = found->text;
    lookup.watched = true;
    std::rotate(found, found + 1, Entries().end());
    return lookup;
  }
  lookup.watched = WatchFor(path) >= 0;
  return lookup;
}

std::shared_ptr<const ProfileText> CachedProfile(const std::string& path, const FileIdentity& identity) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Find(path);
  if (found == Entries().end() || found->watch >= 0 || !Same(found->identity, identity)) return nullptr;
  std::shared_ptr<const ProfileText> text = found->text;
  std::rotate(found, found + 1, Entries().end());
  return text;
}

void RememberProfile(const std::string& path, const FileIdentity& identity, const struct timespec& readStart,
                     bool plain, const CacheLookup& lookup, std::shared_ptr<const ProfileText> text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Drain(nullptr);
  // Watched only when no event came between the look-up and now: one may have
  // been about this file, read before or after the change.
  int watch = lookup.watched && plain && g_events == lookup.events ? WatchFor(path) : -1;
  bool settled = Nanoseconds(identity.modified) + TimestampStepNs(identity.modified) <= Nanoseconds(readStart);
  auto found = Find(path);
  if (found != Entries().end()) Entries().erase(found);
  if (watch >= 0 || settled) Keep({path, identity, std::move(text), watch});
}

void RememberOwnWrite(const std::string& path, const std::string& temporary, const FileIdentity& identity,
                      const CacheLookup& lookup, std::shared_ptr<const ProfileText> text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  bool undrained = g_events == lookup.events;
  std::vector<Event> seen;
  Drain(&seen);
  int watch = lookup.watched && undrained ? WatchFor(path) : -1;
  // Only this write's own events may name the file: the temporary file's, then
  // its rename over the file, last.
  std::string name = path.substr(path.rfind('/') + 1), temporaryName = temporary.substr(temporary.rfind('/') + 1);
  bool renamed = false;
  uint32_t cookie = 0;
  for (const Event& event : seen) {
    if (event.watch != watch) continue;
    if (event.name == temporaryName) {
      if (event.mask & IN_MOVED_FROM) cookie = event.cookie;
    } else if (event.name == name) {
      renamed = (event.mask & IN_MOVED_TO) && cookie != 0 && event.cookie == cookie;
      if (!renamed) watch = -1;
    }
  }
  if (watch >= 0 && renamed) Keep({path, identity, std::move(text), watch});
}

void ForgetProfile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Find(path);
  if (found != Entries().end()) Entries().erase(found);
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex
