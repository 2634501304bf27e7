#include "tools/products.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "korvex/korvex.h"
#include "tools/reg_store.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

const char kVendorKey[] = "Software\\Quorvanta";
const char kSuite[] = "Vantoria";

struct ProductSchemes {
  const char* product;
  std::vector<std::string> schemes;
};

// ExecuteURL's table, by product.
const ProductSchemes kSchemes[] = {
    {"Quellbar", {"xdm", "xdmcp"}},
    {"Torvik", {"ssh", "telnet", "rlogin"}},
    {"Skiv", {"ftp", "sftp"}},
};

// The products that read their version from a "Version" value and want it
// above "1.0".
bool GatesOnVersion(const std::string& product) {
  return lstrcmpiA(product.c_str(), "Torvik") == 0 || lstrcmpiA(product.c_str(), "Skiv") == 0;
}

// The lookup reads version names through an 8-byte buffer: 7 characters.
const size_t kMaxVersionName = 7;

void CheckName(const std::string& product) {
  if (product.empty() || product.find_first_of("\\/") != std::string::npos || product.size() > 200)
    throw ToolError("\"" + product + "\" is not a product name (one file name, no \\ or /)", kExitUsage);
}

void CheckVersion(const std::string& product, const std::string& version) {
  if (version.empty() || version.size() > kMaxVersionName || version.find('\\') != std::string::npos)
    throw ToolError("version \"" + version + "\" must be 1 to 7 characters without \\", kExitUsage);
  if (atoi(version.c_str()) <= 0)
    throw ToolError("version \"" + version + "\" must begin with a number above 0", kExitUsage);
  if (GatesOnVersion(product) && lstrcmpA(version.c_str(), "1.0") <= 0)
    throw ToolError(product + " is only found with a version above \"1.0\"", kExitUsage);
}

std::string AbsoluteFolder(const std::string& folder) {
  char resolved[PATH_MAX];
  struct stat info;
  if (!realpath(folder.c_str(), resolved) || stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode))
    throw ToolError("no such folder: " + folder);
  return resolved;
}

KeyPath MachineKey(const std::string& subkey) {
  KeyPath path;
  std::string why;
  if (!ParseKeyPath("HKLM\\" + subkey, &path, &why)) throw ToolError(why, kExitUsage);
  return path;
}

void SetString(HKEY key, const char* name, const std::string& text) {
  LONG status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
  if (status != ERROR_SUCCESS) throw ToolError(std::string("cannot write ") + name + ": " + DescribeError(status));
}

std::string ReadString(const std::string& subkey, const char* name) {
  OpenKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return "";
  char text[MAX_PATH] = "";
  DWORD size = sizeof text - 1, type = 0;
  if (RegQueryValueExA(key.get(), name, NULL, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return "";
  return text;
}

// The version subkey the lookup picks, found the way it finds it: names
// through an 8-byte buffer until the first failure, the greatest by lstrcmpA.
std::string ChosenVersion(const std::string& subkey) {
  OpenKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return "";
  std::string kept;
  char name[kMaxVersionName + 1];
  for (DWORD index = 0; RegEnumKeyA(key.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index)
    if (lstrcmpA(kept.c_str(), name) < 0) kept = name;
  return kept;
}

std::string Joined(const std::string& folder, const std::string& product) {
  CString path(folder.c_str());
  AppendPath(path, product.c_str());
  return static_cast<const char*>(path);
}

}  // namespace

std::string ProductKeyName(const std::string& product) { return std::string(kVendorKey) + "\\" + product; }

std::vector<std::string> SchemesOf(const std::string& product) {
  for (const ProductSchemes& row : kSchemes)
    if (lstrcmpiA(row.product, product.c_str()) == 0) return row.schemes;
  return {};
}

std::string ProductForScheme(const std::string& scheme) {
  for (const ProductSchemes& row : kSchemes)
    for (const std::string& served : row.schemes)
      if (lstrcmpiA(served.c_str(), scheme.c_str()) == 0) return row.product;
  return "";
}

std::string RegisterProduct(const std::string& product, const std::string& version, const std::string& folder) {
  CheckName(product);
  CheckVersion(product, version);
  std::string absolute = AbsoluteFolder(folder);
  std::string subkey = ProductKeyName(product) + "\\" + version;
  OpenKey key;
  LONG status =
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.out(), NULL);
  if (status != ERROR_SUCCESS) throw ToolError("cannot create " + MachineKey(subkey).Full() + ": " + DescribeError(status));
  SetString(key.get(), "Path", absolute);
  if (GatesOnVersion(product)) SetString(key.get(), "Version", version);
  return MachineKey(subkey).Full();
}

bool UnregisterProduct(const std::string& product) {
  CheckName(product);
  KeyPath path = MachineKey(ProductKeyName(product));
  if (!KeyExists(path)) return false;
  LONG status = SHDeleteKeyA(HKEY_LOCAL_MACHINE, path.subkey.c_str());
  if (status != ERROR_SUCCESS) throw ToolError("cannot delete " + path.Full() + ": " + DescribeError(status));
  return true;
}

bool FindProduct(const std::string& product, FoundProduct* found) {
  CheckName(product);
  CString path;
  found->number = GetProductPath(product.c_str(), path);
  if (!found->number) return false;
  found->path = static_cast<const char*>(path);

  // The ways in GetProductPath's order; the first that gives its path is the one it took.
  char self[MAX_PATH] = "";
  GetModuleFileNameA(NULL, self, sizeof self);
  CString beside;
  ReplaceFnameOfPath(beside, self, product.c_str());
  if (DoesFileExist(beside) && found->path == static_cast<const char*>(beside)) {
    found->way = std::string("beside the running program ") + self;
    return true;
  }
  std::string own = ProductKeyName(product), version = ChosenVersion(own);
  if (!version.empty()) {
    std::string versionKey = own + "\\" + version;
    std::string folder = ReadString(versionKey, "Path");
    if (folder.empty() && lstrcmpiA(product.c_str(), "Quellbar") == 0)
      folder = ReadString(versionKey + "\\" + version, "");
    if (found->path == Joined(folder, product)) {
      found->way = "in the product's key " + MachineKey(versionKey).Full();
      return true;
    }
  }
  std::string suite = std::string(kVendorKey) + "\\" + kSuite;
  found->way = "in the suite's key " + MachineKey(suite + "\\" + ChosenVersion(suite)).Full();
  return true;
}

}  // namespace korvex_tool
