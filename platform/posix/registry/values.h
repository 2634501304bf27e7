#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_VALUES_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_VALUES_H

// Values of a key known by its id, for the calls that reach the key through a
// subkey path.
#include <cstdint>

#include "platform/posix/hive/read_cache.h"
#include "platform/posix/registry/handle.h"

namespace korvex {
namespace posix {
namespace registry {

// Sets a value of a key as RegSetValueExA does, adding the terminator a
// string's length left out. ERROR_KEY_DELETED when the key is gone; a size the
// store cannot hold is refused before the data is read.
LONG SetValueOf(hive::HiveSession& session, int64_t id, const char* name, DWORD type, const BYTE* data, DWORD size);

// Reads a value of key `id` from the hive, opening the call's session unless
// it is open, and keeps the answer in the hive's cache when it may.
LONG ReadStoredValue(KeyCall& call, int64_t id, const char* name, hive::NameAnswer* value);

// Hands a value of key `id` to use(type, data, size), from the hive's cache
// when it may answer, else as ReadStoredValue reads it; use's result, or why
// there was no value.
template <class Use>
LONG ReadValueOf(KeyCall& call, int64_t id, const char* name, Use&& use) {
  if (hive::ReadCache* cache = call.cache()) {
    if (auto known = cache->Find(hive::ReadCache::Kind::kValue, id, name ? name : "")) {
      if (known->status != ERROR_SUCCESS) return known->status;
      return use(known->type, known->data.data(), static_cast<DWORD>(known->data.size()));
    }
  }
  hive::NameAnswer read;
  LONG rc = ReadStoredValue(call, id, name, &read);
  return rc == ERROR_SUCCESS ? use(read.type, read.data.data(), static_cast<DWORD>(read.data.size())) : rc;
}

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
