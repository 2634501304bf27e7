#ifndef KORVEX_PLATFORM_POSIX_PROFILE_FILE_H
#define KORVEX_PLATFORM_POSIX_PROFILE_FILE_H

// Where profile files live and how they are read and replaced.
#include <functional>
#include <string>

#include "platform/posix/profile_text.h"

namespace korvex {
namespace posix {

// The file a profile name means: a name without a folder lies in the folder that
// stands in for the Windows folder, $XDG_CONFIG_HOME/korvex, which is created
// for a writer. Empty for no name.
std::string ProfilePath(const char* fileName, bool forWriting);

// The file's text; empty when it is missing or unreadable.
std::string ReadProfile(const std::string& path);

// Applies an edit to the current text under the file's lock and, when the edit
// reports a change, replaces the file atomically. False (with the last error set)
// when the file could not be locked, written or replaced.
bool UpdateProfile(const std::string& path, const std::function<bool(ProfileText&)>& edit);

}  // namespace posix
}  // namespace korvex

#endif
