#ifndef KORVEX_REGISTRY_EXACT_VALUE_H
#define KORVEX_REGISTRY_EXACT_VALUE_H

// Internal to the library: not exported.
#include "korvex/platform.h"

namespace korvex {
namespace registry {

// RegSetValueExA with exactly `size` bytes stored. Win32 adds a terminator to
// string data when the byte after it is zero, so the data is handed over from
// a copy followed by a nonzero byte.
LONG SetExactValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size);

}  // namespace registry
}  // namespace korvex

#endif
