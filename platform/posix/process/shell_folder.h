#ifndef KORVEX_PLATFORM_POSIX_PROCESS_SHELL_FOLDER_H
#define KORVEX_PLATFORM_POSIX_PROCESS_SHELL_FOLDER_H

#include <sys/types.h>

#include <string>

namespace korvex {
namespace posix {
namespace process {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path,
// else ~/.config. Empty when no home folder is known.
std::string UserConfigFolder();

// Creates a folder and its missing parents, each with `mode` (less the umask);
// true when it exists afterwards.
bool MakeFolderPath(const std::string& path, mode_t mode = 0777);

}  // namespace process
}  // namespace posix
}  // namespace korvex

#endif
