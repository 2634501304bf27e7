#include "registry/exact_value.h"

#include <string.h>

#include <vector>

namespace korvex {
namespace registry {

LONG SetExactValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
  std::vector<BYTE> copy(static_cast<size_t>(size) + 1, 1);
  if (size) memcpy(copy.data(), data, size);
  return RegSetValueExA(key, name, 0, type, copy.data(), size);
}

}  // namespace registry
}  // namespace korvex
