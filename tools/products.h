#ifndef KORVEX_TOOLS_PRODUCTS_H
#define KORVEX_TOOLS_PRODUCTS_H

// Where GetProductPath looks for a product, written and read back through the
// registry calls. Failures are thrown as ToolError with a one-line message.
#include <string>
#include <vector>

namespace korvex_tool {

// HKEY_LOCAL_MACHINE\Software\Quorvanta\<product>
std::string ProductKeyName(const std::string& product);

// The URL schemes that ExecuteURL starts the product for (none for a product
// it does not know), lower case, in the order it tests them.
std::vector<std::string> SchemesOf(const std::string& product);
// The product ExecuteURL starts for a scheme; empty when none.
std::string ProductForScheme(const std::string& scheme);

// Writes the version subkey that GetProductPath picks when it is the greatest
// one: "Path" (the folder, made absolute) and, for the products that gate on
// it, "Version". Returns the key written. Refuses a name, version or folder
// that the lookup could not use, before writing anything.
std::string RegisterProduct(const std::string& product, const std::string& version, const std::string& folder);

// Deletes the product's key with every version below it; false when there was none.
bool UnregisterProduct(const std::string& product);

struct FoundProduct {
  std::string path;     // as GetProductPath gives it
  unsigned int number;  // GetProductPath's result
  std::string way;      // which of its three ways found it, as a phrase: "in the product's key ..."
};

// GetProductPath, and which way it took; false when no way found it.
bool FindProduct(const std::string& product, FoundProduct* found);

}  // namespace korvex_tool

#endif
