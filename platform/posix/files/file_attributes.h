#ifndef KORVEX_PLATFORM_POSIX_FILES_FILE_ATTRIBUTES_H
#define KORVEX_PLATFORM_POSIX_FILES_FILE_ATTRIBUTES_H

#include <sys/stat.h>

#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {

// Win32 attributes of an entry; `name` is its last path component.
DWORD FileAttributesOf(const struct stat& info, const char* name);

// The last component of a native path, trailing slashes ignored.
std::string LastComponentOf(const std::string& path);

}  // namespace posix
}  // namespace korvex

#endif
