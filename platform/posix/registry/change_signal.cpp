#include "platform/posix/registry/change_signal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr size_t kSize = 2 * sizeof(uint64_t);

}  // namespace

ChangeSignal::ChangeSignal(std::string path, mode_t mode) : path_(std::move(path)) {
  fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
  writable_ = fd_ >= 0;
  if (fd_ < 0) fd_ = open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ < 0) return;
  struct stat info;
  // Growing the file from zero reads as counts of zero; a second process
  // growing it to the same size changes nothing. The blocks are allocated
  // here: a full disk would otherwise kill the process (SIGBUS) at its first
  // count.
  bool usable = fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && (info.st_uid == geteuid() || info.st_uid == 0) &&
                (writable_ ? posix_fallocate(fd_, 0, kSize) == 0 : static_cast<size_t>(info.st_size) >= kSize);
  if (usable) {
    void* mapped = mmap(nullptr, kSize, writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped != MAP_FAILED) counts_ = static_cast<uint64_t*>(mapped);
  }
  writable_ = writable_ && counts_;
}

ChangeSignal::~ChangeSignal() {
  if (counts_) munmap(counts_, kSize);
  if (fd_ >= 0) close(fd_);
}

void ChangeSignal::BeginWrite() {
  if (writable_) __atomic_fetch_add(&counts_[0], 1, __ATOMIC_SEQ_CST);
}

bool ChangeSignal::Alone() const {
  if (!writable_) return false;
  // Ended first: a write that ends in between only makes this false.
  uint64_t ended = __atomic_load_n(&counts_[1], __ATOMIC_SEQ_CST);
  return __atomic_load_n(&counts_[0], __ATOMIC_SEQ_CST) == ended + 1;
}

void ChangeSignal::EndWrite() {
  if (!writable_) return;
  __atomic_fetch_add(&counts_[1], 1, __ATOMIC_SEQ_CST);
  futimens(fd_, nullptr);
}

bool ChangeSignal::Mark(uint64_t* mark) const {
  if (!counts_) return false;
  // Begun first: a write that begins in between changes it, which Unchanged sees.
  uint64_t begun = __atomic_load_n(&counts_[0], __ATOMIC_SEQ_CST);
  uint64_t ended = __atomic_load_n(&counts_[1], __ATOMIC_SEQ_CST);
  *mark = begun;
  return begun == ended;
}

bool ChangeSignal::Unchanged(uint64_t mark) const {
  return counts_ && __atomic_load_n(&counts_[0], __ATOMIC_SEQ_CST) == mark;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
