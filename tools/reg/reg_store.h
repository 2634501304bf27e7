#ifndef KORVEX_TOOLS_REG_REG_STORE_H
#define KORVEX_TOOLS_REG_REG_STORE_H

// The reg commands' side of the registry, through the Win32 calls alone.
// Failures are thrown as ToolError with a one-line message.
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tools/reg/reg_file.h"
#include "tools/reg/reg_key_path.h"

namespace korvex_tool {

// One open key, closed on destruction.
class OpenKey {
public:
  OpenKey() = default;
  ~OpenKey();
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

private:
  HKEY key_ = nullptr;
};

// A Win32 error of the registry or a file, as words.
std::string DescribeError(LONG status);
// The same for a call on a key of `root`, with the hive's file and what of it
// is in the way when the hive itself refused.
std::string DescribeError(LONG status, HKEY root);

// Opens an existing key; a missing one is reported as "not found".
void OpenExisting(const KeyPath& path, REGSAM access, OpenKey* key);
bool KeyExists(const KeyPath& path);

std::vector<RegValueEdit> ReadValues(HKEY key, const KeyPath& path);
// The value the registry finds by `name` (its names compare as the registry's
// do, in any script), kept under that name; false when there is none.
bool ReadValue(HKEY key, const KeyPath& path, const std::string& name, RegValueEdit* value);
std::vector<std::string> SubkeyNames(HKEY key, const KeyPath& path);
// The key and everything below it, each key followed by its subkeys.
RegFile ReadTree(const KeyPath& path);

// Applies every edit of the file in order, in one transaction: all or, on a
// failure or when the process dies, none. (A file that changes both hives
// commits them one after the other.)
void ApplyAll(const RegFile& file);

}  // namespace korvex_tool

#endif
