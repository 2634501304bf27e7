// Base letter plus combining mark to the precomposed character, from
// libunistring's table of Unicode's canonical compositions.
#include "platform/posix/text/composition.h"

#include <uninorm.h>

namespace korvex {
namespace posix {
namespace text {

WCHAR Composed(WCHAR base, WCHAR mark) {
  ucs4_t composed = uc_composition(base, mark);
  return composed <= 0xFFFF ? static_cast<WCHAR>(composed) : 0;  // a WCHAR holds the BMP alone
}

}  // namespace text
}  // namespace posix
}  // namespace korvex
