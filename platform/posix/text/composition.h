#ifndef KORVEX_PLATFORM_POSIX_TEXT_COMPOSITION_H
#define KORVEX_PLATFORM_POSIX_TEXT_COMPOSITION_H

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace text {

// The precomposed character for a base character followed by a combining
// mark; 0 when there is none.
WCHAR Composed(WCHAR base, WCHAR mark);

}  // namespace text
}  // namespace posix
}  // namespace korvex

#endif
