#include <string.h>

#include <map>
#include <mutex>
#include <string>

#include "korvex/platform.h"

namespace {

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

std::map<UINT, std::string>& Table() {
  static std::map<UINT, std::string> table;
  return table;
}

}  // namespace

BOOL KorvexSetStringResource(UINT id, LPCSTR text) {
  if (id == 0 || id > 0xFFFF) return FALSE;
  std::lock_guard<std::mutex> guard(TableLock());
  if (text)
    Table()[id] = text;
  else
    Table().erase(id);
  return TRUE;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
  (void)instance;
  if (!buffer || bufferMax <= 0) return 0;
  std::lock_guard<std::mutex> guard(TableLock());
  auto entry = Table().find(id);
  if (entry == Table().end()) {
    buffer[0] = '\0';
    return 0;
  }
  // Like Win32: truncated to the buffer, always terminated.
  size_t n = entry->second.size();
  if (n > static_cast<size_t>(bufferMax - 1)) n = static_cast<size_t>(bufferMax - 1);
  memcpy(buffer, entry->second.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
