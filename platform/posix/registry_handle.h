#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_HANDLE_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_HANDLE_H

// What an HKEY stands for: a key id in a hive, and the access it was opened with.
#include <cstdint>
#include <memory>

#include "platform/posix/registry_store.h"

namespace korvex {
namespace posix {
namespace registry {

struct KeyRef {
  std::shared_ptr<Hive> hive;
  int64_t id = 0;
  REGSAM access = 0;

  bool Allows(REGSAM right) const { return (access & right) == right; }
};

// A predefined root key or an open handle; ERROR_INVALID_HANDLE for anything else.
LONG ResolveKey(HKEY key, KeyRef* ref);
// A new handle, valid until ReleaseHandle. Handle values are never reused.
HKEY NewHandle(KeyRef ref);
// False when the handle is not open (predefined keys are never open handles).
bool ReleaseHandle(HKEY key);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
