#include "tools/product/products.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include "korvex/korvex.h"
#include "tools/reg/reg_store.h"
#include "tools/tool_error.h"
#include "url/launchers.h"
#include "url/product_model.h"

namespace korvex_tool {
namespace {

void CheckName(const std::string& product) {
  if (product.empty() || product.find_first_of("\\/") != std::string::npos || product.size() > 200)
    throw ToolError("\"" + product + "\" is not a product name (one file name, no \\ or /)", kExitUsage);
}

void CheckVersion(const std::string& product, const std::string& version) {
  switch (korvex::FitOfVersion(product.c_str(), version.c_str())) {
    case korvex::VersionFit::kUsable:
      return;
    case korvex::VersionFit::kBadName:
      throw ToolError("version \"" + version + "\" must be 1 to " + std::to_string(korvex::kEnumNameSize - 1) +
                          " characters without \\",
                      kExitUsage);
    case korvex::VersionFit::kNoNumber:
      throw ToolError("version \"" + version + "\" must begin with a number above 0", kExitUsage);
    case korvex::VersionFit::kBelowGate:
      throw ToolError(product + " is only found with a version above \"1.0\"", kExitUsage);
  }
}

std::string AbsoluteFolder(const std::string& folder) {
  char resolved[PATH_MAX];
  struct stat info;
  if (!realpath(folder.c_str(), resolved)) throw ToolError(folder + ": " + strerror(errno));
  if (stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode)) throw ToolError(folder + ": not a folder");
  return resolved;
}

std::string Machine(const char* subkey) { return std::string("HKEY_LOCAL_MACHINE\\") + subkey; }

}  // namespace

std::string ProductKeyName(const std::string& product) { return Machine(korvex::ProductKeyName(product.c_str())); }

std::vector<std::string> SchemesOf(const std::string& product) {
  std::vector<std::string> schemes;
  for (const korvex::Launcher& launcher : korvex::LauncherTable())
    if (lstrcmpiA(launcher.product, product.c_str()) == 0) schemes.push_back(launcher.scheme);
  return schemes;
}

std::vector<std::string> ProductsWithSchemes() {
  std::vector<std::string> products;
  for (const korvex::Launcher& launcher : korvex::LauncherTable())
    if (std::find(products.begin(), products.end(), launcher.product) == products.end())
      products.push_back(launcher.product);
  return products;
}

std::string ProductForScheme(const std::string& scheme) {
  const korvex::Launcher* launcher = korvex::FindLauncher(scheme.c_str());
  return launcher ? launcher->product : "";
}

std::string RegisterProduct(const std::string& product, const std::string& version, const std::string& folder) {
  CheckName(product);
  CheckVersion(product, version);
  std::string absolute = AbsoluteFolder(folder);
  CString key;
  LONG status = korvex::WriteProductKey(product.c_str(), version.c_str(), absolute.c_str(), key);
  if (status != ERROR_SUCCESS)
    throw ToolError("cannot write " + Machine(key) + ": " + DescribeError(status, HKEY_LOCAL_MACHINE));
  return Machine(key);
}

bool UnregisterProduct(const std::string& product) {
  CheckName(product);
  CString subkey = korvex::ProductKeyName(product.c_str());
  LONG status = SHDeleteKeyA(HKEY_LOCAL_MACHINE, subkey);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status != ERROR_SUCCESS)
    throw ToolError("cannot delete " + Machine(subkey) + ": " + DescribeError(status, HKEY_LOCAL_MACHINE));
  return true;
}

bool FindProduct(const std::string& product, FoundProduct* found) {
  CheckName(product);
  CString path;
  korvex::ProductLocation location;
  found->number = korvex::LocateProduct(product.c_str(), path, location);
  if (!found->number) return false;
  found->path = static_cast<const char*>(path);
  std::replace(found->path.begin(), found->path.end(), '\\', '/');
  if (location.route == korvex::ProductRoute::kBesideProgram) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    found->way = std::string("beside the running program ") + self;
    found->meaning = "found beside the calling program";
  } else {
    found->way = std::string(location.route == korvex::ProductRoute::kProductKey ? "in the product's key "
                                                                                 : "in the suite's key ") +
                 Machine(location.key);
    found->meaning = "the leading number of the version";
  }
  return true;
}

}  // namespace korvex_tool
