// AppendPathEx on any path and name against an independent model: the path as
// a head and a list of segments, one per backslash, so ".." drops the last
// segment (past the root too) and a component adds its own.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "korvex/paths.h"

namespace {

struct Segmented {
  std::string head;                   // the text before the first backslash
  std::vector<std::string> segments;  // each written behind one backslash

  explicit Segmented(const std::string& text) {
    size_t at = text.find('\\');
    head = text.substr(0, at);
    while (at != std::string::npos) {
      size_t next = text.find('\\', at + 1);
      segments.push_back(text.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
      at = next;
    }
  }
  std::string Text() const {
    std::string text = head;
    for (const std::string& segment : segments) text += "\\" + segment;
    return text;
  }
};

// The result the rules give, or nothing (`ok` false) for a refused call.
std::string Model(const std::string& path, const std::string& name, bool* ok) {
  *ok = (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') || (path.size() >= 3 && path[2] == '\\');
  if (!*ok) return path;
  if (name.size() >= 2 && name[1] == ':') return name;
  if (!name.empty() && name[0] == '\\') return path.substr(0, 2) + name;
  Segmented result(path);
  std::string rest = name;
  while (!rest.empty()) {
    size_t separator = rest.find('\\');
    std::string component;
    if (separator == std::string::npos || separator == 0) {
      component = rest;
      rest.clear();
    } else {
      component = rest.substr(0, separator);
      rest.erase(0, separator + 1);
    }
    if (component == "..") {
      if (!result.segments.empty()) result.segments.pop_back();
    } else if (component != ".") {
      Segmented added("\\" + component);
      result.segments.insert(result.segments.end(), added.segments.begin(), added.segments.end());
    }
  }
  return result.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first zero byte separates the path from the name, which ends at the next.
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* split = memchr(bytes, '\0', size);
  size_t pathLength = split ? static_cast<size_t>(static_cast<const char*>(split) - bytes) : size;
  std::string pathText(bytes, pathLength);
  std::string name = split ? std::string(bytes + pathLength + 1, size - pathLength - 1) : std::string();
  name.resize(strlen(name.c_str()));

  CString path(pathText.c_str());
  int result = AppendPathEx(path, name.c_str());
  bool ok;
  std::string expected = Model(pathText, name, &ok);
  if (result != (ok ? 1 : 0)) abort();
  if (std::string(path, static_cast<size_t>(path.GetLength())) != expected) abort();
  return 0;
}
