#include "korvex/paths.h"

int SplitNameForSaveAs(const char* name, CString& base, unsigned int& number) {
  if (!name || name[0] == '\0') return 0;
  number = 0;
  base = name;
  int length = base.GetLength();
  if (base[length - 1] != ')') return 0;
  // Right to left from just before the ")": digits build the number (wrapping
  // modulo 2^32 as unsigned arithmetic does) until the "(".
  unsigned int weight = 1;
  for (int i = 1; i < length; ++i) {
    char c = base[length - 1 - i];
    if (c >= '0' && c <= '9') {
      number += static_cast<unsigned int>(c - '0') * weight;
      weight *= 10u;
    } else if (c == '(') {
      base.Delete(length - 1 - i, i + 1);
      base.TrimRight();
      return 1;
    } else {
      return 0;
    }
  }
  return 0;
}
