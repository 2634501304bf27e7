#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_READ_CACHE_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_READ_CACHE_H

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
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/registry/change_signal.h"

namespace korvex {
namespace posix {
namespace registry {

// One entry as an enumeration hands it out (a subkey has a name only).
struct EnumEntry {
  std::string name;
  DWORD type = 0;
  std::string data;
};

// The figures RegQueryInfoKeyA gives of a key; lengths in bytes.
struct KeyInfo {
  DWORD subkeys = 0, maxSubkeyName = 0, values = 0, maxValueName = 0, maxData = 0;
};

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
  void Attach(ChangeSignal* signal);
  // The mark to read under; false when what is read now must not be kept.
  bool Mark(uint64_t* mark) const;

  Held<NameAnswer> Find(Kind kind, int64_t key, std::string_view name);
  void Store(uint64_t mark, Kind kind, int64_t key, std::string_view name, NameAnswer answer);
  Held<KeyInfo> FindInfo(int64_t key);
  void StoreInfo(uint64_t mark, int64_t key, const KeyInfo& info);
  // A key's subkeys (names only) or values, in the order the store gives them.
  Held<std::vector<EnumEntry>> FindEntries(bool values, int64_t key);
  void StoreEntries(uint64_t mark, bool values, int64_t key, std::vector<EnumEntry> entries);

private:
  struct NameKey {
    int64_t key;
    Kind kind;
    std::string folded;
    bool operator==(const NameKey& other) const {
      return key == other.key && kind == other.kind && folded == other.folded;
    }
  };
  struct NameKeyHash {
    size_t operator()(const NameKey& name) const;
  };
  template <class T>
  struct Kept {
    uint64_t mark;
    size_t bytes;
    T item;
  };
  template <class Key, class T, class Hash = std::hash<Key>>
  using Table = std::unordered_map<Key, Kept<T>, Hash>;

  template <class Key, class T, class Hash>
  Held<T> FindIn(Table<Key, T, Hash>& table, const Key& key);
  template <class Key, class T, class Hash>
  void StoreIn(Table<Key, T, Hash>& table, uint64_t mark, Key key, T item, size_t bytes);
  void Drop();

  mutable std::mutex mutex_;
  ChangeSignal* signal_ = nullptr;
  size_t bytes_ = 0;
  Table<NameKey, NameAnswer, NameKeyHash> names_;
  Table<int64_t, KeyInfo> infos_;
  Table<int64_t, std::vector<EnumEntry>> entries_[2];  // subkeys, values
};

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
