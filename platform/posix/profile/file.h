#ifndef KORVEX_PLATFORM_POSIX_PROFILE_FILE_H
#define KORVEX_PLATFORM_POSIX_PROFILE_FILE_H

// Where profile files live and how they are read and replaced.
#include <functional>
#include <memory>
#include <string>

#include "platform/posix/profile/text.h"

namespace korvex {
namespace posix {
namespace profile {

// The file a profile name means: a name without a folder lies in the folder that
// stands in for the Windows folder, $XDG_CONFIG_HOME/korvex, which is created
// (private to the user) for a writer. Empty for no name.
std::string ProfilePath(const char* fileName, bool forWriting);

// The file's parsed text, shared with other readers while the file is unchanged;
// sets the last error to ERROR_SUCCESS. A missing or unreadable file gives an
// empty text and sets the last error (ERROR_FILE_NOT_FOUND when there is no such
// file); a file past the bound of reads gives a text that knows it is cut.
std::shared_ptr<const ProfileText> LoadProfile(const char* fileName);

// Applies an edit to the file's current text under its lock and, when the edit
// reports a change, replaces the file atomically. False with the last error set
// when the arguments are refused, the caller may not write the file, or it could
// not be read whole, locked, written within the bound or replaced; the file is
// then left as it was.
bool UpdateProfile(const char* section, const char* fileName, const std::function<bool(ProfileText&)>& edit);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
