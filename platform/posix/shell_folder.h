#ifndef KORVEX_PLATFORM_POSIX_SHELL_FOLDER_H
#define KORVEX_PLATFORM_POSIX_SHELL_FOLDER_H

#include <string>

namespace korvex {
namespace posix {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path,
// else ~/.config. Empty when no home folder is known.
std::string UserConfigFolder();

// Creates a folder and its missing parents; true when it exists afterwards.
bool MakeFolderPath(const std::string& path);

}  // namespace posix
}  // namespace korvex

#endif
