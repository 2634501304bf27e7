// SplitNameForSaveAs on any name: a success means the name was the base, some
// white space, "(", digits and ")", and the digits give the number.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "korvex/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name.resize(strlen(name.c_str()));
  CString base("untouched");
  unsigned int number = 7;
  int result = SplitNameForSaveAs(name.c_str(), base, number);
  if (name.empty()) {
    if (result != 0 || base != "untouched" || number != 7) abort();
    return 0;
  }
  if (!result) {
    if (base != name.c_str()) abort();
    return 0;
  }
  size_t open = name.rfind('(');
  if (open == std::string::npos || name.back() != ')') abort();
  unsigned int expected = 0;
  for (size_t i = open + 1; i + 1 < name.size(); ++i) {
    if (!isdigit(static_cast<unsigned char>(name[i]))) abort();
    expected = expected * 10u + static_cast<unsigned int>(name[i] - '0');
  }
  if (number != expected) abort();
  std::string trimmed = name.substr(0, open);
  while (!trimmed.empty() && isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.pop_back();
  if (base != trimmed.c_str()) abort();
  return 0;
}
