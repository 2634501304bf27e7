#include <ctype.h>
#include <string.h>

#include "korvex/platform.h"

int _mbscmp(const unsigned char* a, const unsigned char* b) {
  return strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

int _mbsicmp(const unsigned char* a, const unsigned char* b) {
  for (;; ++a, ++b) {
    int ca = tolower(*a), cb = tolower(*b);
    if (ca != cb || ca == 0) return ca < cb ? -1 : ca > cb ? 1 : 0;
  }
}

int _ismbcspace(unsigned int c) { return c < 256 && isspace(static_cast<int>(c)) ? 1 : 0; }
