// Reads arbitrary bytes as a .reg file. What the reader accepts must write
// out and read back to the same keys and values, and writing that again must
// give the very same bytes.
#include <stdlib.h>

#include <string>

#include "tools/reg/reg_file.h"

using korvex_tool::RegFile;
using korvex_tool::RegKeyEdit;
using korvex_tool::RegValueEdit;

namespace {

bool SameValue(const RegValueEdit& a, const RegValueEdit& b) {
  return a.name == b.name && a.remove == b.remove && (a.remove || (a.type == b.type && a.data == b.data));
}

bool SameFile(const RegFile& a, const RegFile& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const RegKeyEdit& x = a.keys[k];
    const RegKeyEdit& y = b.keys[k];
    if (x.key.Full() != y.key.Full() || x.key.root != y.key.root || x.remove != y.remove ||
        x.values.size() != y.values.size())
      return false;
    for (size_t v = 0; v < x.values.size(); ++v)
      if (!SameValue(x.values[v], y.values[v])) return false;
  }
  return true;
}

// The one thing the writer may refuse: a carriage return in a name.
bool RefusalJustified(const RegFile& file) {
  for (const RegKeyEdit& key : file.keys) {
    if (key.key.subkey.find_first_of("\r\n") != std::string::npos) return true;
    for (const RegValueEdit& value : key.values)
      if (value.name.find('\r') != std::string::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegFile first;
  std::string error;
  if (!korvex_tool::ReadRegFile(std::string(reinterpret_cast<const char*>(data), size), &first, &error)) {
    if (error.empty()) abort();
    return 0;
  }
  std::string written;
  if (!korvex_tool::WriteRegFile(first, &written, &error)) {
    if (!RefusalJustified(first)) abort();
    return 0;
  }
  RegFile second;
  if (!korvex_tool::ReadRegFile(written, &second, &error)) abort();
  if (!SameFile(first, second)) abort();
  std::string again;
  if (!korvex_tool::WriteRegFile(second, &again, &error) || again != written) abort();
  return 0;
}
