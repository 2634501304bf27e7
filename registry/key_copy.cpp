// The recursive copy behind RenameKey.
#include "registry/key_copy.h"

#include "korvex/registry.h"
#include "registry/exact_value.h"

namespace korvex {
namespace registry {
namespace {

// One set of buffers serves the whole tree: a level no longer needs the name
// once the children are open, nor the data after each value is written. Kept
// off the stack so a deep tree cannot exhaust it.
struct CopyBuffers {
  char name[1024];
  BYTE data[4096];
};

const DWORD kDataSize = 4096;

const DWORD kNameSize = 1023;

// The enumerations end only at the end of the list: a name that does not fit
// is a failure, not the end, or the copy would drop it and the rename lose it.
enum Step { kEnd, kFailed, kNamed };

Step Next(LONG status) {
  if (status == ERROR_NO_MORE_ITEMS) return kEnd;
  return status == ERROR_SUCCESS ? kNamed : kFailed;
}

Step SubkeyAt(CRegistry& key, DWORD index, CopyBuffers& buffers) {
  return Next(RegEnumKeyA(key.GetSafeHkey(), index, buffers.name, kNameSize));
}

// The value name, as EnumValue asks for it: room for kNameSize - 1 bytes with the terminator.
Step ValueAt(CRegistry& key, DWORD index, CopyBuffers& buffers) {
  DWORD length = kNameSize - 1;
  return Next(RegEnumValueA(key.GetSafeHkey(), index, buffers.name, &length, NULL, NULL, NULL, NULL));
}

int CopyValues(CRegistry& source, CRegistry& destination, CopyBuffers& buffers) {
  for (DWORD index = 0;; ++index) {
    Step step = ValueAt(source, index, buffers);
    if (step != kNamed) return step == kEnd;
    DWORD type = 0, size = kDataSize;
    if (RegQueryValueExA(source.GetSafeHkey(), buffers.name, NULL, &type, buffers.data, &size) != ERROR_SUCCESS)
      return 0;
    if (SetExactValue(destination.GetSafeHkey(), buffers.name, type, buffers.data, size) != ERROR_SUCCESS) return 0;
  }
}

int CopyTree(CRegistry& source, CRegistry& destination, CopyBuffers& buffers) {
  for (DWORD index = 0;; ++index) {
    Step step = SubkeyAt(source, index, buffers);
    if (step == kFailed) return 0;
    if (step == kEnd) break;
    CRegistry sourceChild, destinationChild;
    if (!sourceChild.Open(&source, buffers.name, 1, KEY_ALL_ACCESS)) return 0;
    if (!destinationChild.Open(&destination, buffers.name, 1, KEY_ALL_ACCESS)) return 0;
    if (!CopyTree(sourceChild, destinationChild, buffers)) return 0;
  }
  return CopyValues(source, destination, buffers);
}

}  // namespace

int CopyKeyTree(CRegistry& source, CRegistry& destination) {
  CopyBuffers* buffers = new CopyBuffers;
  int copied = CopyTree(source, destination, *buffers);
  delete buffers;
  return copied;
}

}  // namespace registry
}  // namespace korvex
