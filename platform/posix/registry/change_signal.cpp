#include "platform/posix/registry/change_signal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/registry/hive_files.h"

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr size_t kSize = 2 * sizeof(uint64_t);

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
  } else if (!S_ISREG(info.st_mode) || (info.st_size != 0 && info.st_size != static_cast<off_t>(kSize))) {
    status_ = ERROR_BADDB;
  }
  // Growing the file from zero reads as counts of zero; a second process
  // growing it to the same size changes nothing. The blocks are allocated
  // here: a full disk would otherwise kill the process (SIGBUS) at its first
  // count.
  if (status_ == ERROR_SUCCESS &&
      (info.st_size == static_cast<off_t>(kSize) || (writable_ && posix_fallocate(fd_, 0, kSize) == 0))) {
    void* mapped = mmap(nullptr, kSize, writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd_, 0);
    if (mapped != MAP_FAILED) counts_ = static_cast<uint64_t*>(mapped);
  }
  writable_ = writable_ && counts_;
}

ChangeSignal::~ChangeSignal() {
  if (counts_) munmap(counts_, kSize);
  if (fd_ >= 0) close(fd_);
}

bool ChangeSignal::BeginWrite() {
  if (writable_) __atomic_fetch_add(&counts_[0], 1, __ATOMIC_SEQ_CST);
  return writable_;
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
