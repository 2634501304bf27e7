// Renaming a subkey: copy its tree to the new name, then delete the old one.
#include "korvex/registry.h"
#include "registry/key_copy.h"

namespace {

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The next backslash-separated component of `path` from `*at`, skipping empty
// ones; its length, 0 at the end.
size_t NextComponent(const char* path, size_t* at) {
  while (path[*at] == '\\') ++*at;
  size_t length = 0;
  while (path[*at + length] && path[*at + length] != '\\') ++length;
  return length;
}

// True when `name` is `root` or a key below it, comparing as the registry
// does: letter case and stray backslashes make no difference.
bool IsSameOrBelow(const char* name, const char* root) {
  if (!name) name = "";
  if (!root) root = "";
  size_t atName = 0, atRoot = 0;
  for (;;) {
    size_t rootLength = NextComponent(root, &atRoot);
    if (rootLength == 0) return true;
    size_t nameLength = NextComponent(name, &atName);
    if (nameLength != rootLength) return false;
    for (size_t i = 0; i < rootLength; ++i)
      if (FoldCase(name[atName + i]) != FoldCase(root[atRoot + i])) return false;
    atName += nameLength;
    atRoot += rootLength;
  }
}

}  // namespace

int CRegistry::RenameKey(const char* oldName, const char* newName) {
  // Copying a key into itself or its own subtree would never end, and the
  // deletion afterwards would take the copy with it.
  if (IsSameOrBelow(newName, oldName)) return 0;
  CRegistry source, destination;
  if (!source.Open(this, oldName, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) return 0;
  if (!destination.Open(this, newName, 1, KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) return 0;
  if (!korvex::registry::CopyKeyTree(source, destination)) return 0;
  DeleteKey(oldName, 0);
  return 1;
}
