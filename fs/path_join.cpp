#include <string.h>

#include "korvex/paths.h"

namespace {

// A UNC path ("\\...") or a drive path (third character a backslash); the
// drive letter itself is not examined.
bool IsAbsolute(const CString& path) {
  int n = path.GetLength();
  return (n >= 2 && path[0] == '\\' && path[1] == '\\') || (n >= 3 && path[2] == '\\');
}

// Walks the components of a relative name, resolving "." and "..".
void AppendRelative(CString& path, const char* name) {
  const char* rest = name;
  while (*rest) {
    const char* separator = strchr(rest, '\\');
    CString component;
    if (!separator || separator == rest) {
      // No separator left, or one at the front: the rest is one component.
      component = rest;
      rest += strlen(rest);
    } else {
      component = CString(rest, static_cast<int>(separator - rest));
      rest = separator + 1;
    }
    if (component == "..") {
      int last = path.ReverseFind('\\');
      if (last >= 0) path = path.Left(last);
    } else if (component != ".") {
      path += '\\';
      path += component;
    }
  }
}

}  // namespace

int AppendPath(CString& path, const char* name) {
  if (path.IsEmpty() || !name) return 0;
  if (path[path.GetLength() - 1] != '\\') path += '\\';
  if (name[0] == '\\') ++name;
  path += name;
  return 1;
}

int AppendPathEx(CString& path, const char* name) {
  if (!name || !IsAbsolute(path)) return 0;
  if (name[0] != '\0' && name[1] == ':') {
    path = name;
  } else if (name[0] == '\\') {
    path = path.Left(2) + name;
  } else {
    AppendRelative(path, name);
  }
  return 1;
}
