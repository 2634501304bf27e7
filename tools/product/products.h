#ifndef KORVEX_TOOLS_PRODUCT_PRODUCTS_H
#define KORVEX_TOOLS_PRODUCT_PRODUCTS_H

// The tool's side of the library's product model (url/product_model.h):
// registering, finding and naming products. Failures are thrown as ToolError
// with a one-line message.
#include <string>
#include <vector>

namespace korvex_tool {

// HKEY_LOCAL_MACHINE\Software\Quorvanta\<product>
std::string ProductKeyName(const std::string& product);

// The URL schemes that ExecuteURL starts the product for (none for a product
// it does not know), in the order it tests them.
std::vector<std::string> SchemesOf(const std::string& product);
// Every product that ExecuteURL starts for some scheme, each once.
std::vector<std::string> ProductsWithSchemes();
// The product ExecuteURL starts for a scheme; empty when none.
std::string ProductForScheme(const std::string& scheme);

// Writes the version key that GetProductPath reads, the folder made absolute.
// Returns the key written. Refuses a name, version or folder that the lookup
// could not use, before writing anything.
std::string RegisterProduct(const std::string& product, const std::string& version, const std::string& folder);

// Deletes the product's key with every version below it; false when there was none.
bool UnregisterProduct(const std::string& product);

struct FoundProduct {
  std::string path;     // as GetProductPath gives it, with the system's slashes
  unsigned int number;  // GetProductPath's result
  std::string way;      // the route it took, as a phrase: "in the product's key ..."
  std::string meaning;  // what the result number says
};

// GetProductPath, and the route it took; false when none found the product.
bool FindProduct(const std::string& product, FoundProduct* found);

}  // namespace korvex_tool

#endif
