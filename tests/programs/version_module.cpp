// A module for the module-loading tests, built in three kinds:
//   VERSION_MODULE_KIND 0  no DllGetVersion
//   VERSION_MODULE_KIND 1  DllGetVersion reports 0x10006.0x20001 (the packed
//                          version keeps the low 16 bits of each)
//   VERSION_MODULE_KIND 2  DllGetVersion fails
// Each also exports ModuleProbe, returning 7.
#include "platform/shell.h"

extern "C" {

INT_PTR WINAPI ModuleProbe(void) { return 7; }

#if VERSION_MODULE_KIND == 1
HRESULT WINAPI DllGetVersion(DLLVERSIONINFO* info) {
  // A caller that does not say the record's size gets nothing, as the shell's modules do.
  if (info->cbSize != sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
  info->dwMajorVersion = 0x10006;
  info->dwMinorVersion = 0x20001;
  info->dwBuildNumber = 34;
  info->dwPlatformID = 2;
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
