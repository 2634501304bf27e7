#include "tools/reg/reg_key_path.h"

#include <strings.h>

#include <algorithm>

namespace korvex_tool {
namespace {

constexpr size_t kMaxKeyNameLength = 255;

struct Root {
  const char* shortName;
  const char* longName;
  HKEY key;
};

const Root kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
};

}  // namespace

std::vector<std::string> RootNames() {
  std::vector<std::string> names;
  for (const Root& root : kRoots) names.insert(names.end(), {root.shortName, root.longName});
  return names;
}

KeyPath KeyPath::Child(const std::string& name) const {
  KeyPath child = *this;
  child.subkey = subkey.empty() ? name : subkey + "\\" + name;
  return child;
}

std::string KeyPath::LastName() const {
  size_t slash = subkey.rfind('\\');
  return slash == std::string::npos ? subkey : subkey.substr(slash + 1);
}

KeyPath KeyPath::Sibling(const std::string& name) const {
  KeyPath sibling = *this;
  size_t slash = subkey.rfind('\\');
  sibling.subkey = slash == std::string::npos ? name : subkey.substr(0, slash + 1) + name;
  return sibling;
}

bool ParseKeyPath(const std::string& text, KeyPath* path, std::string* why) {
  size_t slash = text.find('\\');
  std::string rootText = text.substr(0, slash);
  const Root* root = nullptr;
  for (const Root& candidate : kRoots)
    if (strcasecmp(rootText.c_str(), candidate.shortName) == 0 || strcasecmp(rootText.c_str(), candidate.longName) == 0)
      root = &candidate;
  if (!root && rootText.find('/') != std::string::npos) {
    std::string suggested = text;
    std::replace(suggested.begin(), suggested.end(), '/', '\\');
    *why = "\"" + text + "\": key names are separated by \\, not / (use '" + suggested + "')";
    return false;
  }
  if (!root) {
    *why = "\"" + text + "\" does not start with HKCU or HKLM (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)";
    return false;
  }
  path->root = root->key;
  path->rootName = root->longName;
  path->subkey = slash == std::string::npos ? "" : text.substr(slash + 1);
  if (!path->subkey.empty() && path->subkey.back() == '\\') path->subkey.pop_back();
  for (size_t start = 0; !path->subkey.empty();) {
    size_t end = path->subkey.find('\\', start);
    size_t length = (end == std::string::npos ? path->subkey.size() : end) - start;
    if (length == 0) {
      *why = "\"" + text + "\" holds an empty key name";
      return false;
    }
    if (length > kMaxKeyNameLength) {
      *why = "\"" + text + "\" holds a key name longer than 255 characters";
      return false;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

}  // namespace korvex_tool
