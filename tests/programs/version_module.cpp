// A module for the module tests in three kinds (VERSION_MODULE_KIND): 0 has no
// DllGetVersion, 1 reports 0x10006.0x20001, 2 fails. ModuleProbe returns 7.
#include "platform/shell.h"

extern "C" {

INT_PTR WINAPI ModuleProbe(void) { return 7; }

#if VERSION_MODULE_KIND == 1
HRESULT WINAPI DllGetVersion(DLLVERSIONINFO* info) {
  // A caller that does not say the record's size gets nothing, as the shell's modules do.
  if (info->cbSize != sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
  info->dwMajorVersion = 0x10006;
  info->dwMinorVersion = 0x20001;
  return S_OK;
}
#elif VERSION_MODULE_KIND == 2
HRESULT WINAPI DllGetVersion(DLLVERSIONINFO* info) {
  info->dwMajorVersion = 9;
  info->dwMinorVersion = 9;
  return E_FAIL;
}
#endif
}
