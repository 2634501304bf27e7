#ifndef KORVEX_PLATFORM_POSIX_COMMON_NATIVE_PATH_H
#define KORVEX_PLATFORM_POSIX_COMMON_NATIVE_PATH_H

#include <string>

namespace korvex {
namespace posix {

// The library joins paths with backslashes; on POSIX every backslash is a separator.
std::string NativePath(const char* path);

}  // namespace posix
}  // namespace korvex

#endif
