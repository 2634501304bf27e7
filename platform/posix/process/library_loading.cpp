#include <dlfcn.h>
#include <unistd.h>

#include "korvex/platform.h"
#include "platform/posix/common/native_path.h"

HMODULE LoadLibraryA(LPCSTR fileName) {
  // dlopen(NULL) would hand out the program itself; Win32 refuses a missing name.
  if (!fileName || !*fileName) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::string path = korvex::posix::NativePath(fileName);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    bool present = path.find('/') != std::string::npos && access(path.c_str(), F_OK) == 0;
    SetLastError(present ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
  }
  return static_cast<HMODULE>(handle);
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return dlclose(module) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!procName || IS_INTRESOURCE(procName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(module ? static_cast<void*>(module) : static_cast<void*>(GetModuleHandleA(nullptr)), procName);
  if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}
