// AppendPathEx on any path and name: never reads or writes out of bounds, and
// keeps its promises on what it leaves in `path`.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "korvex/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first zero byte separates the path from the name.
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* split = memchr(bytes, '\0', size);
  size_t pathLength = split ? static_cast<size_t>(static_cast<const char*>(split) - bytes) : size;
  std::string pathText(bytes, pathLength);
  std::string name = split ? std::string(bytes + pathLength + 1, size - pathLength - 1) : std::string();
  name.resize(strlen(name.c_str()));

  CString path(pathText.c_str());
  CString before(path);
  int result = AppendPathEx(path, name.c_str());
  bool absolute = (pathText.size() >= 2 && pathText[0] == '\\' && pathText[1] == '\\') ||
                  (pathText.size() >= 3 && pathText[2] == '\\');
  if (result != (absolute ? 1 : 0)) abort();
  if (!result && path != before) abort();
  if (result && name.size() >= 2 && name[1] == ':' && path != name.c_str()) abort();
  // A relative name only appends to or cuts the path.
  bool relative = result && !(name.size() >= 2 && name[1] == ':') && !(name.size() >= 1 && name[0] == '\\');
  if (relative && name.find("..") == std::string::npos &&
      strncmp(path, before, static_cast<size_t>(before.GetLength())) != 0)
    abort();
  return 0;
}
