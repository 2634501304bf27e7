#include <string.h>

#include "korvex/platform.h"

namespace {

// Each part is cut to what its buffer holds, as the runtime's _splitpath was.
struct Part {
  char* out;
  size_t size;
  const char* begin;
  const char* end;

  void Store() const {
    if (!out) return;
    size_t length = static_cast<size_t>(end - begin);
    if (length > size - 1) length = size - 1;
    memcpy(out, begin, length);
    out[length] = '\0';
  }
};

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (!path) path = "";
  const char* p = path;
  const char* driveEnd = p;
  if (p[0] != '\0' && p[1] == ':') driveEnd = p + 2;

  const char* end = driveEnd + strlen(driveEnd);
  const char* nameBegin = driveEnd;
  const char* dot = nullptr;
  for (const char* c = driveEnd; c < end; ++c) {
    if (*c == '\\' || *c == '/') {
      nameBegin = c + 1;
      dot = nullptr;
    } else if (*c == '.') {
      dot = c;
    }
  }
  const char* extBegin = dot ? dot : end;
  const Part parts[] = {{drive, _MAX_DRIVE, p, driveEnd},
                        {dir, _MAX_DIR, driveEnd, nameBegin},
                        {fname, _MAX_FNAME, nameBegin, extBegin},
                        {ext, _MAX_EXT, extBegin, end}};
  for (const Part& part : parts) part.Store();
}
