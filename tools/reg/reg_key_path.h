#ifndef KORVEX_TOOLS_REG_REG_KEY_PATH_H
#define KORVEX_TOOLS_REG_REG_KEY_PATH_H

#include <string>
#include <vector>

#include "korvex/platform.h"

namespace korvex_tool {

// A key written as "HKCU\Software\Name" or "HKEY_CURRENT_USER\Software\Name"
// (HKLM and HKEY_LOCAL_MACHINE likewise; root names in any case).
struct KeyPath {
  HKEY root = nullptr;
  std::string rootName;  // the long form, as .reg files write it
  std::string subkey;    // empty for the root itself

  std::string Full() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
  // The path of a subkey of this key.
  KeyPath Child(const std::string& name) const;
  // The last name of the path; empty for a root.
  std::string LastName() const;
  // This key with its last name replaced.
  KeyPath Sibling(const std::string& name) const;
};

// False, with the reason, for an unknown root, an empty name between
// backslashes, or a name longer than the registry allows.
bool ParseKeyPath(const std::string& text, KeyPath* path, std::string* why);

// Every name a path may begin with: "HKCU", "HKEY_CURRENT_USER", ...
std::vector<std::string> RootNames();

}  // namespace korvex_tool

#endif
