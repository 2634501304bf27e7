#include <cstdlib>
#include <cstring>
#include <string>

#include "korvex/platform.h"

DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  if (!lpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string expanded;
  for (const char* at = lpSrc; *at;) {
    const char* close = *at == '%' ? strchr(at + 1, '%') : nullptr;
    if (!close || close == at + 1) {
      expanded += *at++;
      continue;
    }
    const char* value = getenv(std::string(at + 1, close).c_str());
    if (value) {
      expanded += value;
      at = close + 1;
    } else {
      // Not set: the text stays, and its closing % may open the next name.
      expanded.append(at, close);
      at = close;
    }
  }
  size_t needed = expanded.size() + 1;
  if (needed > 0xFFFFFFFFu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (lpDst && nSize >= needed) memcpy(lpDst, expanded.c_str(), needed);
  return static_cast<DWORD>(needed);
}
