#include "platform/posix/registry/write_counts.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex {
namespace posix {
namespace registry {
namespace {

constexpr size_t kSize = 2 * sizeof(uint64_t);

}  // namespace

WriteCounts::WriteCounts(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  struct stat info;
  // Growing the file from zero reads as counts of zero; a second process
  // growing it to the same size changes nothing. The blocks are allocated
  // here: a full disk would otherwise kill the process (SIGBUS) at its first
  // count.
  bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
                posix_fallocate(fd, 0, kSize) == 0;
  if (usable) {
    void* mapped = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped != MAP_FAILED) counts_ = static_cast<uint64_t*>(mapped);
  }
  close(fd);
}

WriteCounts::~WriteCounts() {
  if (counts_) munmap(counts_, kSize);
}

void WriteCounts::BeginWrite() {
  if (counts_) __atomic_fetch_add(&counts_[0], 1, __ATOMIC_SEQ_CST);
}

void WriteCounts::EndWrite() {
  if (counts_) __atomic_fetch_add(&counts_[1], 1, __ATOMIC_SEQ_CST);
}

bool WriteCounts::Mark(uint64_t* mark) const {
  if (!counts_) return false;
  // Begun first: a write that begins in between changes it, which Unchanged sees.
  uint64_t begun = __atomic_load_n(&counts_[0], __ATOMIC_SEQ_CST);
  uint64_t ended = __atomic_load_n(&counts_[1], __ATOMIC_SEQ_CST);
  *mark = begun;
  return begun == ended;
}

bool WriteCounts::Unchanged(uint64_t mark) const {
  return counts_ && __atomic_load_n(&counts_[0], __ATOMIC_SEQ_CST) == mark;
}

}  // namespace registry
}  // namespace posix
}  // namespace korvex
