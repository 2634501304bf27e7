#include <ctype.h>
#include <string.h>

#include <string>

#include "korvex/platform.h"

namespace {

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

// Collation first; texts that collate equal but differ in bytes still order.
int Collate(const char* a, const char* b) {
  int order = strcoll(a, b);
  return Sign(order ? order : strcmp(a, b));
}

std::string Folded(const char* text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return folded;
}

// NULL sorts before every text, as in Win32.
bool OrderNulls(LPCSTR a, LPCSTR b, int* result) {
  if (a && b) return false;
  *result = a ? 1 : b ? -1 : 0;
  return true;
}

}  // namespace

int lstrlenA(LPCSTR text) { return text ? static_cast<int>(strlen(text)) : 0; }

int lstrcmpA(LPCSTR a, LPCSTR b) {
  int result;
  if (OrderNulls(a, b, &result)) return result;
  return Collate(a, b);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
  int result;
  if (OrderNulls(a, b, &result)) return result;
  return Collate(Folded(a).c_str(), Folded(b).c_str());
}
