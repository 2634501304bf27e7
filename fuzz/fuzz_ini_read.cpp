// Reads arbitrary bytes as an INI file, writes the model and reads it back:
// every model that Read builds can be carried by the format, so the second
// model must write the very same text, and answer every lookup the same.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "korvex/korvex.h"

namespace {

std::string TempPath(const char* name) {
  const char* dir = getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/korvex_fuzz_ini_" + std::to_string(getpid()) + "_" + name;
}

const std::string kInput = TempPath("in.ini");
const std::string kFirst = TempPath("first.ini");
const std::string kSecond = TempPath("second.ini");

void Store(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

std::string Load(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) abort();
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
  fclose(f);
  return out;
}

// Every key line of a written file, looked up in both models.
void CompareLookups(const std::string& written, const CIniFile& a, const CIniFile& b) {
  std::string section;
  size_t start = 0;
  while (start < written.size()) {
    size_t end = written.find("\r\n", start);
    if (end == std::string::npos) abort();  // the writer ends every line
    std::string line = written.substr(start, end - start);
    start = end + 2;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) abort();
    std::string key = line.substr(0, equals);
    CString va = a.GetValue(section.c_str(), key.c_str(), "\x01missing");
    CString vb = b.GetValue(section.c_str(), key.c_str(), "\x01missing");
    if (va != vb || line.compare(equals + 1, std::string::npos, static_cast<const char*>(va)) != 0) abort();
    if (a.GetValue(section.c_str(), key.c_str(), -12345) != b.GetValue(section.c_str(), key.c_str(), -12345)) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Store(kInput, data, size);
  CIniFile first;
  if (first.Read(kInput.c_str()) != 1) abort();
  if (first.Write(kFirst.c_str()) != 1) abort();
  CIniFile second(kFirst.c_str());
  if (second.Write(kSecond.c_str()) != 1) abort();
  std::string written = Load(kFirst);
  if (written != Load(kSecond)) abort();
  CompareLookups(written, first, second);
  return 0;
}
