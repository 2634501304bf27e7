#ifndef KORVEX_PLATFORM_POSIX_HIVE_READ_CACHE_H
#define KORVEX_PLATFORM_POSIX_HIVE_READ_CACHE_H

// What this process read from a hive, kept so that reading it again, while no
// process wrote the hive since, costs no SQLite call and no system call.
//
// Trust: each entry was read after a mark of the hive's change signal (taken
// with no write under way, before the read) and stored only if the begun count
// still equalled it after the read. It answers while the begun count equals
// that mark: once a write begins, in any process, no entry answers, and each
// is replaced as it is read again (freeing the rest then would cost the first
// read after a write in time). This process's writes count on the same signal.
// A registry transaction keeps its hives' counts unequal until it ends, so
// nothing is kept meanwhile, and calls inside it never look here.
//
// Bound: kMaxBytes per hive, counting names, data and a fixed cost per entry,
// answering or not. A store that would pass it drops the hive's cache first;
// an entry that alone would pass it is not kept. A hive of 10,000 small values
// read whole, by enumeration and by name, keeps about 4 MB.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/hive/change_signal.h"
#include "platform/posix/text/name_order.h"
#include "platform/posix/hive/operations.h"

namespace korvex {
namespace posix {
namespace hive {

// What a name below a key leads to.
struct NameAnswer {
  LONG status = ERROR_SUCCESS;  // or ERROR_FILE_NOT_FOUND
  int64_t id = 0;               // the key a path leads to
  bool readOnly = false;        // the hive, for the session that followed the path
  DWORD type = 0;               // a value's
  std::string data;
};

class ReadCache {
public:
  static constexpr size_t kMaxBytes = 8 << 20;

  // A name is a subkey path (followed from the key) or a value's name.
  enum class Kind : uint8_t { kPath, kValue };

  // A trusted entry; the cache stays locked while it is held.
  template <class T>
  class Held {
  public:
    Held() = default;
    Held(std::unique_lock<std::mutex> lock, const T* item) : lock_(std::move(lock)), item_(item) {}
    explicit operator bool() const { return item_ != nullptr; }
    const T& operator*() const { return *item_; }
    const T* operator->() const { return item_; }

  private:
    std::unique_lock<std::mutex> lock_;
    const T* item_ = nullptr;
  };

  // Once the hive's signal is known safe; nothing is kept before.
  void Attach(ChangeSignal* signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    signal_ = signal;
  }
  // The mark to read under; false when what is read now must not be kept.
  bool Mark(uint64_t* mark) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return signal_ && signal_->Mark(mark);
  }

  Held<NameAnswer> Find(Kind kind, int64_t key, std::string_view name) {
    return FindIn(names_, NameKey{key, kind, text::FoldedName(name)});
  }
  void Store(uint64_t mark, Kind kind, int64_t key, std::string_view name, NameAnswer answer) {
    NameKey stored{key, kind, text::FoldedName(name)};
    size_t bytes = kEntryBytes + stored.folded.size() + answer.data.size();
    StoreIn(names_, mark, std::move(stored), std::move(answer), bytes);
  }
  Held<KeyInfo> FindInfo(int64_t key) { return FindIn(infos_, key); }
  void StoreInfo(uint64_t mark, int64_t key, const KeyInfo& info) { StoreIn(infos_, mark, key, info, kEntryBytes); }
  // A key's subkeys (names only) or values, in name order.
  Held<std::vector<Entry>> FindEntries(EntryKind kind, int64_t key) { return FindIn(entries_[Slot(kind)], key); }
  void StoreEntries(uint64_t mark, EntryKind kind, int64_t key, std::vector<Entry> entries) {
    size_t bytes = kEntryBytes;
    for (const Entry& entry : entries) bytes += kEntryBytes + entry.name.size() + entry.data.size();
    StoreIn(entries_[Slot(kind)], mark, key, std::move(entries), bytes);
  }

private:
  // What an entry costs beside its names and data: the table's node and
  // bucket, the strings' own size.
  static constexpr size_t kEntryBytes = 128;

  struct NameKey {
    int64_t key;
    Kind kind;
    std::string folded;
    bool operator==(const NameKey& other) const {
      return key == other.key && kind == other.kind && folded == other.folded;
    }
  };
  struct NameKeyHash {
    size_t operator()(const NameKey& name) const {
      return std::hash<std::string>()(name.folded) ^ (static_cast<size_t>(name.key) * 0x9E3779B97F4A7C15ull) ^
             static_cast<size_t>(name.kind);
    }
  };
  template <class T>
  struct Kept {
    uint64_t mark;
    size_t bytes;
    T item;
  };
  template <class Key, class T, class Hash = std::hash<Key>>
  using Table = std::unordered_map<Key, Kept<T>, Hash>;

  static int Slot(EntryKind kind) { return kind == EntryKind::kValues; }

  template <class Key, class T, class Hash>
  Held<T> FindIn(Table<Key, T, Hash>& table, const Key& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = table.find(key);
    if (found == table.end() || !signal_->Unchanged(found->second.mark)) return {};
    return Held<T>(std::move(lock), &found->second.item);
  }

  template <class Key, class T, class Hash>
  void StoreIn(Table<Key, T, Hash>& table, uint64_t mark, Key key, T item, size_t bytes) {
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

  void Drop() {
    names_.clear();
    infos_.clear();
    for (auto& entries : entries_) entries.clear();
    bytes_ = 0;
  }

  mutable std::mutex mutex_;
  ChangeSignal* signal_ = nullptr;
  size_t bytes_ = 0;
  Table<NameKey, NameAnswer, NameKeyHash> names_;
  Table<int64_t, KeyInfo> infos_;
  Table<int64_t, std::vector<Entry>> entries_[2];  // subkeys, values
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
