#include <dlfcn.h>

#include "korvex/platform.h"
#include "platform/posix/common/native_path.h"

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // RTLD_NOLOAD: report a module only when it is already in the process; the
  // reference it takes is dropped at once, as GetModuleHandle takes none.
  void* handle = moduleName ? dlopen(korvex::posix::NativePath(moduleName).c_str(), RTLD_LAZY | RTLD_NOLOAD)
                            : dlopen(nullptr, RTLD_LAZY);
  if (handle) dlclose(handle);
  return static_cast<HMODULE>(handle);
}
