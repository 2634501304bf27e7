#include "platform/posix/common/native_path.h"

namespace korvex {
namespace posix {

std::string NativePath(const char* path) {
  std::string native(path ? path : "");
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

}  // namespace posix
}  // namespace korvex
