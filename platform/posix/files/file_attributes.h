#ifndef KORVEX_PLATFORM_POSIX_FILES_FILE_ATTRIBUTES_H
#define KORVEX_PLATFORM_POSIX_FILES_FILE_ATTRIBUTES_H

// The files room of the layer (files/): finding files by Win32 wildcards
// (find_pattern.h), attributes, creating folders, the runtime's streams,
// _splitpath and folder change notifications on inotify (folder_watch_pool.h).
// This header: a file's Win32 attributes and times from its stat data.

#include <sys/stat.h>

#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace files {

// Win32 attributes of an entry; `name` is its last path component.
DWORD FileAttributesOf(const struct stat& info, const char* name);

// The read-only attribute: the owner may not write the entry. Windows refuses
// to write such a file to anyone, administrators too.
bool IsReadOnly(mode_t mode);

// The last component of a native path, trailing slashes ignored.
std::string LastComponentOf(const std::string& path);

}  // namespace files
}  // namespace posix
}  // namespace korvex

#endif
