#include <string.h>

#include "korvex/platform.h"

namespace {

// Copies [begin, end) into a buffer of `size` bytes, cut to fit; NULL skips.
void CopyPart(char* out, size_t size, const char* begin, const char* end) {
  if (!out) return;
  size_t n = static_cast<size_t>(end - begin);
  if (n > size - 1) n = size - 1;
  memcpy(out, begin, n);
  out[n] = '\0';
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (!path) path = "";
  const char* p = path;
  const char* driveEnd = p;
  if (p[0] != '\0' && p[1] == ':') driveEnd = p + 2;
  CopyPart(drive, _MAX_DRIVE, p, driveEnd);
  p = driveEnd;

  const char* end = p + strlen(p);
  const char* nameBegin = p;
  const char* dot = NULL;
  for (const char* c = p; c < end; ++c) {
    if (*c == '\\' || *c == '/') {
      nameBegin = c + 1;
      dot = NULL;
    } else if (*c == '.') {
      dot = c;
    }
  }
  const char* extBegin = dot ? dot : end;
  CopyPart(dir, _MAX_DIR, p, nameBegin);
  CopyPart(fname, _MAX_FNAME, nameBegin, extBegin);
  CopyPart(ext, _MAX_EXT, extBegin, end);
}
