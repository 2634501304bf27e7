#include <stdlib.h>
#include <string.h>

#include "korvex/registry.h"
#include "korvex/text.h"
#include "url/product_model.h"

namespace korvex {

const char kVendorKey[] = "Software\\Quorvanta";
const char kSuiteName[] = "Vantoria";

CString ProductKeyName(const char* product) { return csFmt("%s\\%s", kVendorKey, product); }

bool GatesOnVersion(const char* product) {
  return lstrcmpiA(product, "Skiv") == 0 || lstrcmpiA(product, "Torvik") == 0;
}

bool PassesVersionGate(const char* version) { return lstrcmpA(version, "1.0") > 0; }

VersionFit FitOfVersion(const char* product, const char* version) {
  size_t length = strlen(version);
  if (length == 0 || length >= kEnumNameSize || strchr(version, '\\')) return VersionFit::kBadName;
  if (atoi(version) <= 0) return VersionFit::kNoNumber;
  if (GatesOnVersion(product) && !PassesVersionGate(version)) return VersionFit::kBelowGate;
  return VersionFit::kUsable;
}

LONG WriteProductKey(const char* product, const char* version, const char* folder, CString& key) {
  key = ProductKeyName(product) + "\\" + version;
  HKEY handle = NULL;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(handle, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                          static_cast<DWORD>(strlen(folder) + 1));
  if (status == ERROR_SUCCESS && GatesOnVersion(product))
    status = RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                            static_cast<DWORD>(strlen(version) + 1));
  RegCloseKey(handle);
  return status;
}

}  // namespace korvex
