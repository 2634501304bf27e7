#ifndef KORVEX_PLATFORM_POSIX_REGISTRY_PATH_H
#define KORVEX_PLATFORM_POSIX_REGISTRY_PATH_H

// Subkey paths: split at backslashes and followed down the key tree.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/registry/handle.h"

namespace korvex {
namespace posix {
namespace registry {

// Doubled and trailing backslashes add nothing, a leading one is refused.
LONG SplitPath(const char* path, std::vector<std::string>* parts);

// Opens the call's hive in `mode` and follows a path down from the call's key,
// creating what is missing when asked to (the key needs KEY_CREATE_SUB_KEY for
// that). A bad path fails before the hive is opened.
LONG WalkPath(KeyCall& call, const char* subKey, KeyCall::Mode mode, bool create, int64_t* id, bool* created);

// The key a path leads to from the call's key, which must exist, without
// creating any; from the hive's cache when it may answer. *readOnly: this
// process may not write the hive.
LONG FindKey(KeyCall& call, const char* subKey, int64_t* id, bool* readOnly);

// Opens (or with `create` creates) a subkey as a new handle, in `transaction`
// when there is one, else in that of `key`.
LONG OpenKey(HKEY key, const char* subKey, bool create, REGSAM access, PHKEY result, DWORD* disposition,
             std::shared_ptr<RegistryTransaction> transaction);

}  // namespace registry
}  // namespace posix
}  // namespace korvex

#endif
