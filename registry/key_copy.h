#ifndef KORVEX_REGISTRY_KEY_COPY_H
#define KORVEX_REGISTRY_KEY_COPY_H

// Internal to the library: not exported.
class CRegistry;

namespace korvex {
namespace registry {

// Copies every subkey (recursively) and then every value of `source` into
// `destination`, overwriting values of the same name. 1 when all was copied;
// 0 at the first failure, leaving what was copied so far. A value over 4096
// bytes, or a name the enumeration buffers cannot hold, is a failure.
int CopyKeyTree(CRegistry& source, CRegistry& destination);

}  // namespace registry
}  // namespace korvex

#endif
