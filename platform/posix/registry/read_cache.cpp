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

template <class Key, class T, class Hash>
ReadCache::Held<T> ReadCache::FindIn(Table<Key, T, Hash>& table, const Key& key) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto found = table.find(key);
  if (found == table.end() || !signal_->Unchanged(found->second.mark)) return {};
  return Held<T>(std::move(lock), &found->second.item);
}

template <class Key, class T, class Hash>
void ReadCache::StoreIn(Table<Key, T, Hash>& table, uint64_t mark, Key key, T item, size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Read while the hive changed: may already be stale.
  if (!signal_ || !signal_->Unchanged(mark) || bytes > kMaxBytes) return;
  auto found = table.find(key);
  size_t replaced = found == table.end() ? 0 : found->second.bytes;
  if (bytes_ - replaced + bytes > kMaxBytes) {
    Drop();
    found = table.end();
  }
  bytes_ += bytes - replaced;
  // In place when read again: the node and its name stay.
  if (found != table.end())
    found->second = Kept<T>{mark, bytes, std::move(item)};
  else
    table.emplace(std::move(key), Kept<T>{mark, bytes, std::move(item)});
}

void ReadCache::Drop() {
  names_.clear();
  infos_.clear();
  for (auto& entries : entries_) entries.clear();
  bytes_ = 0;
}

ReadCache::Held<NameAnswer> ReadCache::Find(Kind kind, int64_t key, std::string_view name) {
  return FindIn(names_, NameKey{key, kind, FoldedName(name)});
}

void ReadCache::Store(uint64_t mark, Kind kind, int64_t key, std::string_view name, NameAnswer answer) {
  NameKey stored{key, kind, FoldedName(name)};
  size_t bytes = kEntryBytes + stored.folded.size() + answer.data.size();
  StoreIn(names_, mark, std::move(stored), std::move(answer), bytes);
}

ReadCache::Held<KeyInfo> ReadCache::FindInfo(int64_t key) { return FindIn(infos_, key); }

void ReadCache::StoreInfo(uint64_t mark, int64_t key, const KeyInfo& info) {
  StoreIn(infos_, mark, key, info, kEntryBytes);
}

ReadCache::Held<std::vector<EnumEntry>> ReadCache::FindEntries(bool values, int64_t key) {
  return FindIn(entries_[values], key);
}

void ReadCache::StoreEntries(uint64_t mark, bool values, int64_t key, std::vector<EnumEntry> entries) {
  size_t bytes = EntriesBytes(entries);
  StoreIn(entries_[values], mark, key, std::move(entries), bytes);
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
