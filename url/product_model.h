#ifndef KORVEX_URL_PRODUCT_MODEL_H
#define KORVEX_URL_PRODUCT_MODEL_H

// Where the products are recorded and how GetProductPath reads them back, for
// the library and the korvex tool alike (the tool links the library's objects).
// Internal: only the functions marked KORVEX_TOOL_API are exported, for the tool.
#include "frame/tool_api.h"
#include "korvex/types.h"

namespace korvex {

// Below HKEY_LOCAL_MACHINE: one key per product, each with one subkey per
// version holding the folder as "Path". The suite is recorded as a product.
extern const char kVendorKey[];  // "Software\\Quorvanta"
extern const char kSuiteName[];  // "Vantoria"
KORVEX_TOOL_API CString ProductKeyName(const char* product);

// Version names are enumerated through a buffer of this many bytes, so a
// longer name ends the walk.
const unsigned long kEnumNameSize = 8;

// Whether the lookup of `product` can find a version key of this name.
enum class VersionFit {
  kUsable,
  kBadName,    // empty, too long for the enumeration, or holding a backslash
  kNoNumber,   // no leading number above 0: the result would read "not found"
  kBelowGate,  // the product reads its "Version" value and wants it above "1.0"
};
KORVEX_TOOL_API VersionFit FitOfVersion(const char* product, const char* version);

// The products that read their version from a "Version" value, and whether
// such a value is recent enough: above "1.0" by text order.
bool GatesOnVersion(const char* product);
bool PassesVersionGate(const char* version);

// Records `folder` as the product's `version`, as the lookup reads it back.
// `key` gets the version key's name. A Win32 error code.
KORVEX_TOOL_API LONG WriteProductKey(const char* product, const char* version, const char* folder, CString& key);

enum class ProductRoute {
  kNone,
  kBesideProgram,  // result 3
  kProductKey,     // the product's own version key
  kSuiteKey,       // the suite's version key
};

struct ProductLocation {
  ProductRoute route = ProductRoute::kNone;
  CString key;  // the version key read below HKEY_LOCAL_MACHINE, on the two key routes
};

// GetProductPath, telling also which route found the product.
KORVEX_TOOL_API unsigned int LocateProduct(const char* product, CString& path, ProductLocation& location);

}  // namespace korvex

#endif
