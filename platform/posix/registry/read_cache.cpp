#include "platform/posix/registry/read_cache.h"

#include <functional>
#include <utility>

#include "platform/posix/registry/folded_name.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

// What an entry costs beside its names and data: the table's node and bucket,
// the strings' own size.
constexpr size_t kEntryBytes = 128;

size_t EntriesBytes(const std::vector<EnumEntry>& entries) {
  size_t bytes = kEntryBytes;
  for (const EnumEntry& entry : entries) bytes += kEntryBytes + entry.name.size() + entry.data.size();
  return bytes;
}

}  // namespace

size_t ReadCache::NameKeyHash::operator()(const NameKey& name) const {
  return std::hash<std::string>()(name.folded) ^ (static_cast<size_t>(name.key) * 0x9E3779B97F4A7C15ull) ^
         static_cast<size_t>(name.kind);
}

void ReadCache::Attach(ChangeSignal* signal) {
  std::lock_guard<std::mutex> lock(mutex_);
  signal_ = signal;
}

bool ReadCache::Mark(uint64_t* mark) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return signal_ && signal_->Mark(mark);
}

bool ReadCache::Trusted() {
  if (!holding_) return false;
  if (signal_->Unchanged(mark_)) return true;
  Drop();
  return false;
}

void ReadCache::Drop() {
  names_.clear();
  infos_.clear();
  for (auto& entries : entries_) entries.clear();
  bytes_ = 0;
  holding_ = false;
}

bool ReadCache::MakeRoom(uint64_t mark, size_t bytes) {
  // Read while the hive changed: may already be stale.
  if (!signal_ || !signal_->Unchanged(mark)) return false;
  if (holding_ && mark_ != mark) Drop();
  if (bytes_ + bytes > kMaxBytes) Drop();
  if (bytes > kMaxBytes) return false;
  holding_ = true;
  mark_ = mark;
  bytes_ += bytes;
  return true;
}

ReadCache::Held<NameAnswer> ReadCache::Find(Kind kind, int64_t key, std::string_view name) {
  NameKey wanted{key, kind, FoldedName(name)};
  std::unique_lock<std::mutex> lock(mutex_);
  if (!Trusted()) return {};
  auto found = names_.find(wanted);
  return found == names_.end() ? Held<NameAnswer>() : Held<NameAnswer>(std::move(lock), &found->second);
}

void ReadCache::Store(uint64_t mark, Kind kind, int64_t key, std::string_view name, NameAnswer answer) {
  NameKey stored{key, kind, FoldedName(name)};
  size_t bytes = kEntryBytes + stored.folded.size() + answer.data.size();
  std::lock_guard<std::mutex> lock(mutex_);
  if (MakeRoom(mark, bytes) && !names_.emplace(std::move(stored), std::move(answer)).second) bytes_ -= bytes;
}

ReadCache::Held<KeyInfo> ReadCache::FindInfo(int64_t key) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!Trusted()) return {};
  auto found = infos_.find(key);
  return found == infos_.end() ? Held<KeyInfo>() : Held<KeyInfo>(std::move(lock), &found->second);
}

void ReadCache::StoreInfo(uint64_t mark, int64_t key, const KeyInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (MakeRoom(mark, kEntryBytes) && !infos_.emplace(key, info).second) bytes_ -= kEntryBytes;
}

ReadCache::Held<std::vector<EnumEntry>> ReadCache::FindEntries(bool values, int64_t key) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!Trusted()) return {};
  auto found = entries_[values].find(key);
  return found == entries_[values].end() ? Held<std::vector<EnumEntry>>()
                                         : Held<std::vector<EnumEntry>>(std::move(lock), &found->second);
}

void ReadCache::StoreEntries(uint64_t mark, bool values, int64_t key, std::vector<EnumEntry> entries) {
  size_t bytes = EntriesBytes(entries);
  std::lock_guard<std::mutex> lock(mutex_);
  if (MakeRoom(mark, bytes) && !entries_[values].emplace(key, std::move(entries)).second) bytes_ -= bytes;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
