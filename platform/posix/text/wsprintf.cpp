#include <stdio.h>

#include "korvex/platform.h"

namespace {

// Win32 never writes more than this, terminator included.
const size_t kWsprintfLimit = 1024;

}  // namespace

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  if (!buffer || !format) return 0;
  int written = vsnprintf(buffer, kWsprintfLimit, format, args);
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(written) < kWsprintfLimit ? written : static_cast<int>(kWsprintfLimit - 1);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  int written = wvsprintfA(buffer, format, args);
  va_end(args);
  return written;
}
