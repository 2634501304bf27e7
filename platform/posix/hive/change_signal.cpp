#include "platform/posix/hive/change_signal.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/hive/hive_files.h"

namespace korvex {
namespace posix {
namespace hive {
namespace {

constexpr off_t kSize = sizeof(ChangeSignal::Page);

// An older version's file holds the two counts alone, and is grown.
constexpr off_t kOlderSize = 2 * sizeof(uint64_t);

}  // namespace

ChangeSignal::ChangeSignal(std::string path) : path_(std::move(path)) {
  // Never blocks, should a FIFO stand there.
  fd_ = open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  writable_ = fd_ >= 0;
  if (fd_ < 0) fd_ = open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    if (errno == ELOOP) status_ = ERROR_ACCESS_DENIED;
    return;
  }
  struct stat info;
  if (fstat(fd_, &info) != 0 || !TrustedOwner(info.st_uid)) {
    status_ = ERROR_ACCESS_DENIED;
  } else if (!S_ISREG(info.st_mode) || (info.st_size != 0 && info.st_size != kOlderSize && info.st_size != kSize)) {
    status_ = ERROR_BADDB;
  }
  // Growing the file from zero reads as counts of zero; a second process
  // growing it to the same size changes nothing. The blocks are allocated
  // here: a full disk would otherwise kill the process (SIGBUS) at its first
  // count.
  if (status_ == ERROR_SUCCESS && (info.st_size == kSize || (writable_ && posix_fallocate(fd_, 0, kSize) == 0))) {
    void* mapped = mmap(nullptr, kSize, writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped != MAP_FAILED) page_ = static_cast<Page*>(mapped);
  }
  writable_ = writable_ && page_;
}

ChangeSignal::~ChangeSignal() {
  if (page_) munmap(page_, kSize);
  if (fd_ >= 0) close(fd_);
}

bool ChangeSignal::BeginWrite() {
  if (writable_) __atomic_fetch_add(&page_->begun, 1, __ATOMIC_SEQ_CST);
  return writable_;
}

bool ChangeSignal::Alone() const {
  if (!writable_) return false;
  // Ended first: a write that ends in between only makes this false.
  uint64_t ended = __atomic_load_n(&page_->ended, __ATOMIC_SEQ_CST);
  return __atomic_load_n(&page_->begun, __ATOMIC_SEQ_CST) == ended + 1;
}

void ChangeSignal::EndWrite() {
  if (!writable_) return;
  __atomic_fetch_add(&page_->ended, 1, __ATOMIC_SEQ_CST);
  futimens(fd_, nullptr);
}

bool ChangeSignal::Mark(uint64_t* mark) const {
  if (!page_) return false;
  // Begun first: a write that begins in between changes it, which Unchanged sees.
  uint64_t begun = __atomic_load_n(&page_->begun, __ATOMIC_SEQ_CST);
  uint64_t ended = __atomic_load_n(&page_->ended, __ATOMIC_SEQ_CST);
  *mark = begun;
  return begun == ended;
}

bool ChangeSignal::Unchanged(uint64_t mark) const {
  return page_ && __atomic_load_n(&page_->begun, __ATOMIC_SEQ_CST) == mark;
}

uint32_t ChangeSignal::Turn(int lock) const {
  return page_ ? __atomic_load_n(&page_->turns[lock], __ATOMIC_SEQ_CST) : 0;
}

void ChangeSignal::AwaitTurnAfter(int lock, uint32_t seen, int64_t timeoutNs) const {
  struct timespec timeout = {static_cast<time_t>(timeoutNs / 1'000'000'000),
                             static_cast<long>(timeoutNs % 1'000'000'000)};
  if (!page_) {
    nanosleep(&timeout, nullptr);
    return;
  }
  // Shared between processes: not a private futex.
  syscall(SYS_futex, &page_->turns[lock], FUTEX_WAIT, seen, &timeout, nullptr, 0);
}

void ChangeSignal::PassTurn(int lock) {
  if (!writable_) return;
  __atomic_fetch_add(&page_->turns[lock], 1, __ATOMIC_SEQ_CST);
  syscall(SYS_futex, &page_->turns[lock], FUTEX_WAKE, 1, nullptr, nullptr, 0);
}

}  // namespace hive
}  // namespace posix
}  // namespace korvex
