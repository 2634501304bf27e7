#include <stdlib.h>
#include <string.h>

#include "korvex/paths.h"
#include "korvex/registry.h"
#include "korvex/text.h"
#include "korvex/url.h"
#include "url/product_model.h"

namespace korvex {
namespace {

const unsigned long kVersionNameSize = 32;
const int kPathSize = MAX_PATH;

// The greatest subkey name by the locale's text order, not by number: "9"
// wins over "10". Closes the key.
bool ChooseVersion(CRegistry& key, char (&kept)[kVersionNameSize]) {
  kept[0] = '\0';
  char name[kEnumNameSize];
  for (unsigned long index = 0; key.EnumKey(index, name, sizeof name); ++index)
    if (lstrcmpA(kept, name) < 0) memcpy(kept, name, strlen(name) + 1);
  key.Close();
  return kept[0] != '\0';
}

// Opens `keyName` and the chosen version below it; `keyName` then names the
// version key and `kept` holds the version.
bool OpenVersionKey(CString& keyName, CRegistry& version, char (&kept)[kVersionNameSize]) {
  CRegistry key;
  if (!key.Open(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ) || !ChooseVersion(key, kept)) return false;
  keyName += "\\";
  keyName += kept;
  return version.Open(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ) != 0;
}

bool ReadFolder(const CRegistry& key, const char* name, CString& folder) {
  bool read = key.QueryValue(name, folder.GetBufferSetLength(kPathSize), kPathSize) != 0;
  folder.ReleaseBuffer(read ? -1 : 0);
  return read;
}

int QueryProductPath(const char* product, CString& folder, CString& keyName) {
  keyName = ProductKeyName(product);
  CRegistry version;
  char kept[kVersionNameSize];
  if (!OpenVersionKey(keyName, version, kept)) return 0;
  // From here the version that counts is the product's own "Version" text.
  if (GatesOnVersion(product)) {
    kept[0] = '\0';
    if (!version.QueryValue("Version", kept, sizeof kept) || !PassesVersionGate(kept)) return 0;
  }
  if (ReadFolder(version, "Path", folder)) return atoi(kept);
  if (lstrcmpiA(product, "Quellbar") != 0) return 0;
  version.Close();
  keyName += "\\";
  keyName += kept;
  CRegistry fallback;
  if (fallback.Open(HKEY_LOCAL_MACHINE, keyName, 0, KEY_ALL_ACCESS) && ReadFolder(fallback, NULL, folder))
    return atoi(kept);
  return 0;
}

int QuerySuitePath(CString& folder, CString& keyName) {
  keyName = ProductKeyName(kSuiteName);
  CRegistry version;
  char kept[kVersionNameSize];
  if (!OpenVersionKey(keyName, version, kept) || !ReadFolder(version, "Path", folder)) return 0;
  return atoi(kept);
}

// A drive, UNC or POSIX path. A program path the runtime could not split
// leaves a bare name, which the file test would find in the working folder.
bool IsRooted(const CString& path) {
  const char* p = path;
  return p[0] == '\\' || p[0] == '/' || (p[0] && p[1] == ':' && (p[2] == '\\' || p[2] == '/'));
}

// The build gives the platform's suffix of programs: ".exe", or none on POSIX.
void AppendProgram(CString& path, const char* product) {
  AppendPath(path, product);
  path += KORVEX_EXECUTABLE_SUFFIX;
}

}  // namespace

unsigned int LocateProduct(const char* product, CString& path, ProductLocation& location) {
  location = ProductLocation();
  if (!product) return 0;
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, program, sizeof program);
  if (length > 0 && length < sizeof program) {
    ReplaceFnameOfPath(path, program, product);
    if (IsRooted(path) && DoesFileExist(path)) {
      location.route = ProductRoute::kBesideProgram;
      return 3;
    }
  }

  path.Empty();
  if (int version = QueryProductPath(product, path, location.key)) {
    AppendProgram(path, product);
    location.route = ProductRoute::kProductKey;
    return static_cast<unsigned int>(version);
  }
  if (int version = QuerySuitePath(path, location.key)) {
    AppendProgram(path, product);
    location.route = ProductRoute::kSuiteKey;
    if (DoesFileExist(path)) return static_cast<unsigned int>(version);
  }
  location = ProductLocation();
  return 0;
}

}  // namespace korvex

unsigned int GetProductPath(const char* product, CString& path) {
  korvex::ProductLocation location;
  return korvex::LocateProduct(product, path, location);
}
