#include "platform/posix/common/file_descriptor.h"

#include <fcntl.h>

namespace korvex {
namespace posix {

void SyncFolder(const std::string& folder) {
  FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

}  // namespace posix
}  // namespace korvex
