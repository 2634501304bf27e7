#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_WRITE_COUNTS_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_WRITE_COUNTS_H

// How a reader learns, without taking any SQLite lock, that nothing was
// written to a hive since it last read it: two counts in a small file beside
// the hive, mapped by every process that uses it. A writer counts a write as
// begun before it may commit and as ended after it committed or failed.
//
// A reader takes a mark (both counts equal: no write under way) before it reads
// and trusts what it read while the begun count still equals the mark: a write
// it did not see must have begun after the mark. A writer that dies between the
// two counts leaves them unequal for good, which only turns the trust off.
// Like SQLite's own files beside the hive, this one must not be removed while
// the hive is in use.
#include <cstdint>
#include <string>

namespace korvex {
namespace posix {
namespace registry {

class WriteCounts {
 public:
  // Maps `path`, made 0600 if missing; a file that is not a regular file of
  // this user's is not used, and then no mark is ever given.
  explicit WriteCounts(const std::string& path);
  ~WriteCounts();
  WriteCounts(const WriteCounts&) = delete;
  WriteCounts& operator=(const WriteCounts&) = delete;

  void BeginWrite();
  void EndWrite();
  // False while a write is under way or without the file.
  bool Mark(uint64_t* mark) const;
  bool Unchanged(uint64_t mark) const;

 private:
  uint64_t* counts_ = nullptr;  // begun, ended
};

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
