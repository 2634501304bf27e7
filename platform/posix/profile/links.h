#ifndef KORVEX_PLATFORM_POSIX_PROFILE_LINKS_H
#define KORVEX_PLATFORM_POSIX_PROFILE_LINKS_H

// The file a profile write must replace, found without following a link that
// another user could plant.
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace profile {

// The path made absolute and free of links, so that every name of one file
// locks one lock file and the rename lands on the file itself rather than on a
// link to it. Every link on the way, at a folder or at the name, is followed
// only as the kernel's rule for shared folders allows (ERROR_ACCESS_DENIED
// otherwise). The file itself may be missing, not a folder on the way.
LONG ResolveLinks(const std::string& path, std::string* real);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
