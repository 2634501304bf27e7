#include "platform/posix/common/native_path.h"

namespace korvex {
namespace posix {

std::string NativePath(const char* path) {
  std::string native(path ? path : "");
  for (size_t at = native.find('\\'); at != std::string::npos; at = native.find('\\', at + 1)) native[at] = '/';
  return native;
}

}  // namespace posix
}  // namespace korvex
