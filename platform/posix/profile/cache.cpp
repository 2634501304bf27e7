#include "platform/posix/profile/cache.h"

#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvex {
namespace posix {
namespace {

// Enough for a product's own files; each holds a parsed file in memory.
constexpr size_t kCapacity = 8;
// Coarser than the timestamps of the usual file systems (one clock tick) and of
// those that keep whole seconds.
constexpr int64_t kTimestampStepNs = 1000000000;

struct Entry {
  std::string path;
  FileIdentity identity;
  std::shared_ptr<const ProfileText> text;
};

std::mutex g_mutex;

// Most recently used last. Never freed, so reads made while the process exits work.
std::vector<Entry>& Entries() {
  static std::vector<Entry>* entries = new std::vector<Entry>();
  return *entries;
}

// A child forked while another thread held the lock would wait forever.
void LockForFork() { g_mutex.lock(); }
void UnlockAfterFork() { g_mutex.unlock(); }
[[maybe_unused]] const int g_forkHandlers = pthread_atfork(LockForFork, UnlockAfterFork, UnlockAfterFork);

bool Same(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec;
}

int64_t Nanoseconds(const struct timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::vector<Entry>::iterator Find(const std::string& path) {
  return std::find_if(Entries().begin(), Entries().end(), [&](const Entry& entry) { return entry.path == path; });
}

}  // namespace

FileIdentity IdentityOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

std::shared_ptr<const ProfileText> CachedProfile(const std::string& path, const FileIdentity& identity) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Find(path);
  if (found == Entries().end() || !Same(found->identity, identity)) return nullptr;
  std::shared_ptr<const ProfileText> text = found->text;
  std::rotate(found, found + 1, Entries().end());
  return text;
}

void RememberProfile(const std::string& path, const FileIdentity& identity, const struct timespec& readStart,
                     std::shared_ptr<const ProfileText> text) {
  bool settled = Nanoseconds(identity.modified) + kTimestampStepNs <= Nanoseconds(readStart);
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Find(path);
  if (found != Entries().end()) Entries().erase(found);
  if (!settled) return;
  if (Entries().size() == kCapacity) Entries().erase(Entries().begin());
  Entries().push_back({path, identity, std::move(text)});
}

void ForgetProfile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Find(path);
  if (found != Entries().end()) Entries().erase(found);
}

}  // namespace posix
}  // namespace korvex
