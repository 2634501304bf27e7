#ifndef KORVEX_PLATFORM_POSIX_HIVE_CHANGE_SIGNAL_H
#define KORVEX_PLATFORM_POSIX_HIVE_CHANGE_SIGNAL_H

// The file `<hive>-writes` beside a hive serves its writers in two ways, each
// on a part of its own:
// - its page, mapped by every process that uses the hive, is the change signal:
//   how every process learns that the hive was written. A write counts as
//   begun before it may commit and as ended once it committed or failed, and
//   its end touches the file, which change waits watch (inotify);
// - its first bytes, locked with fcntl, are the writers' line of a private
//   hive (writers_line.h). Such locks cannot be waited for with a bound, so a
//   waiter sleeps on a turn count of the page instead, which every one who
//   lets go of a lock advances, waking a sleeper.
//
// A reader takes a mark (both counts equal: no write under way) before it reads
// and trusts what it read while the begun count still equals the mark: a write
// it did not see must have begun after the mark. A writer that dies between the
// two counts leaves them unequal for good, which only turns the trust off.
//
// Like SQLite's own files beside the hive, this one must not be removed or cut
// short while the hive is in use: a mapping past a file's end kills its reader.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace hive {

class ChangeSignal {
public:
  // Maps `path`, which the hive's writers have made. A link, a file of another
  // user's, or one of the wrong kind or size is refused and never mapped; a
  // missing one, or one still empty that this process may not grow, gives no
  // marks; one this user may only read gives marks but counts no writes.
  explicit ChangeSignal(std::string path);
  ~ChangeSignal();
  ChangeSignal(const ChangeSignal&) = delete;
  ChangeSignal& operator=(const ChangeSignal&) = delete;

  const std::string& path() const { return path_; }
  // ERROR_SUCCESS, or why the file was refused.
  LONG status() const { return status_; }
  // False when the write cannot be counted: it must not be made.
  bool BeginWrite();
  // After BeginWrite: true when no other write has begun and not ended, in any
  // process, so there is no one to line up behind. A writer that died between
  // the counts makes it false for good, as it makes every mark false.
  bool Alone() const;
  // Once the write is over and what it committed visible to every reader.
  void EndWrite();
  // False while a write is under way or without the file.
  bool Mark(uint64_t* mark) const;
  bool Unchanged(uint64_t mark) const;

  // Each lock has a turn count of its own, `lock` below kLocks.
  static constexpr int kLocks = 4;
  uint32_t Turn(int lock) const;
  // Until the turn count is no longer `seen`, or for `timeoutNs` at most.
  void AwaitTurnAfter(int lock, uint32_t seen, int64_t timeoutNs) const;
  // Wakes one waiter.
  void PassTurn(int lock);

  // The file.
  struct Page {
    uint64_t begun, ended;
    uint32_t turns[kLocks];
  };

private:
  std::string path_;
  LONG status_ = ERROR_SUCCESS;
  int fd_ = -1;
  bool writable_ = false;
  Page* page_ = nullptr;
};

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
