#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_VALUES_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_VALUES_H

// Values of a key known by its id, for the calls that reach the key through a
// subkey path.
#include <cstdint>

#include "platform/posix/hive/hive.h"

namespace korvex {
namespace posix {
namespace registry {

// Sets a value of a key as RegSetValueExA does, adding the terminator a
// string's length left out. ERROR_KEY_DELETED when the key is gone; a size the
// store cannot hold is refused before the data is read.
LONG SetValueOf(hive::HiveSession& session, int64_t id, const char* name, DWORD type, const BYTE* data, DWORD size);

// Hands value data out as Win32 does: the buffer's size is read before the type
// is written (callers pass one variable for both); a NULL buffer asks for the
// size only; a short one gets ERROR_MORE_DATA and the size it needs. A string
// stored without its terminator gets one after the data when the buffer has
// room; the size stays the stored one.
LONG HandOutData(DWORD type, const void* data, DWORD size, LPDWORD typeOut, LPBYTE buffer, LPDWORD bufferSize);

bool IsStringType(DWORD type);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
