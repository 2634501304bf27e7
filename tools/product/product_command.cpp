// korvex product: registers products where GetProductPath finds them, and
// their URL schemes with the desktop.
#include <stdio.h>
#include <stdlib.h>

#include <CLI/CLI.hpp>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/product/desktop_entry.h"
#include "tools/product/mime_defaults.h"
#include "tools/product/products.h"
#include "tools/formats/json.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

struct ProductOptions {
  std::string name, version, folder;
  bool desktop = false;
  bool makeDefault = false;
  bool json = false;
  bool everyDesktopEntry = false;
};

// The command a clicked link runs: this very program, by its absolute path,
// since the desktop's PATH need not hold the folder it was run from. A scratch
// registry chosen for this run goes along, or the link would look elsewhere.
std::vector<std::string> OpenCommand() {
  char self[MAX_PATH] = "";
  if (!GetModuleFileNameA(nullptr, self, sizeof self)) throw ToolError("cannot find the running program's path");
  std::vector<std::string> words;
  if (const char* registry = getenv("KORVEX_REGISTRY_DIR"))
    if (*registry) words = {"env", std::string("KORVEX_REGISTRY_DIR=") + registry};
  words.push_back(self);
  return words;
}

void Register(const ProductOptions& options) {
  std::vector<std::string> schemes = SchemesOf(options.name);
  if (options.desktop && schemes.empty())
    throw ToolError(options.name + " opens no URL scheme, so it needs no desktop entry", kExitUsage);
  std::string key = RegisterProduct(options.name, options.version, options.folder);
  printf("registered %s %s in %s\n", options.name.c_str(), options.version.c_str(), key.c_str());
  // The lookup takes the first usable version it meets, not the newest.
  FoundProduct found;
  if (FindProduct(options.name, &found) && found.way != "in the product's key " + key)
    fprintf(stderr, "korvex: note: the library still finds %s %s, at %s\n", options.name.c_str(), found.way.c_str(),
            found.path.c_str());
  if (!options.desktop) return;
  WriteDesktopEntry(options.name, DesktopEntryText(options.name, schemes, OpenCommand()));
  printf("desktop entry %s opens", DesktopEntryPath(options.name).c_str());
  for (const std::string& scheme : schemes) printf(" %s:", scheme.c_str());
  printf(" links\n");
  if (!options.makeDefault) return;
  SetSchemeDefaults(DesktopEntryName(options.name), schemes);
  printf("%s makes it the default for them\n", MimeAppsPath().c_str());
}

void Find(const ProductOptions& options) {
  FoundProduct found;
  bool isFound = FindProduct(options.name, &found);
  // A script reading the JSON learns the outcome from it, not from silence.
  if (!isFound && options.json)
    printf("{\"product\":%s,\"path\":null,\"found\":null,\"result\":0}\n", JsonString(options.name).c_str());
  if (!isFound)
    throw ToolError(options.name + " is not found: not beside korvex, not in " + ProductKeyName(options.name) +
                    ", not in the suite's folder");
  if (options.json) {
    printf("{\"product\":%s,\"path\":%s,\"found\":%s,\"result\":%u}\n", JsonString(options.name).c_str(),
           JsonString(found.path).c_str(), JsonString(found.way).c_str(), found.number);
    return;
  }
  printf("%s\n  path    %s\n  found   %s\n  result  %u (%s)\n", options.name.c_str(), found.path.c_str(),
         found.way.c_str(), found.number, found.meaning.c_str());
}

// The desktop side of every product alone: what names this program goes
// with it when its package is removed; the products' keys stay for them.
void UnregisterEveryDesktopEntry() {
  for (const std::string& product : ProductsWithSchemes()) {
    if (WriteDesktopEntry(product, "")) printf("removed %s\n", DesktopEntryPath(product).c_str());
    if (RemoveSchemeDefaults(DesktopEntryName(product)))
      printf("removed the defaults of %s from %s\n", product.c_str(), MimeAppsPath().c_str());
  }
}

void Unregister(const ProductOptions& options) {
  if (options.everyDesktopEntry) return UnregisterEveryDesktopEntry();
  bool key = UnregisterProduct(options.name);
  bool entry = WriteDesktopEntry(options.name, "");
  bool defaults = RemoveSchemeDefaults(DesktopEntryName(options.name));
  if (!key && !entry && !defaults) throw ToolError(options.name + " is not registered");
  if (key) printf("deleted %s\n", ProductKeyName(options.name).c_str());
  if (entry) printf("removed %s\n", DesktopEntryPath(options.name).c_str());
  if (defaults) printf("removed its defaults from %s\n", MimeAppsPath().c_str());
}

}  // namespace

void AddProductCommand(CLI::App& app) {
  static ProductOptions options;
  CLI::App* product = AddCommandGroup(app, "product", "Register products where the library finds them");

  CLI::App* reg = AddAction(product, "register", "Record a product's folder and version in HKEY_LOCAL_MACHINE",
                            [] { Register(options); });
  reg->add_option("NAME", options.name, "the product, also its executable's name (Torvik, Skiv, Quellbar, ...)")
      ->required();
  reg->add_option("--version", options.version, "its version, e.g. 2.1 (7 characters at most)")->required();
  reg->add_option("--path", options.folder, "the folder that holds the executable")->required();
  CLI::Option* desktop = reg->add_flag(
      "--desktop", options.desktop, "also a desktop entry that opens the product's URL schemes with \"korvex open\"");
  reg->add_flag("--default", options.makeDefault, "make that entry the default for the schemes (mimeapps.list)")
      ->needs(desktop);

  CLI::App* find = AddAction(product, "find", "Show where the library finds a product, and how", [] { Find(options); });
  find->add_option("NAME", options.name)->required();
  find->add_flag("--json", options.json,
                 "one JSON object: product, path, found, result (path and found null, result 0 and status 1 when "
                 "not found)");

  CLI::App* unregister =
      AddAction(product, "unregister", "Delete a product's key and its desktop entry", [] { Unregister(options); });
  CLI::Option* name = unregister->add_option("NAME", options.name);
  CLI::Option* every = unregister->add_flag(
      "--every-desktop-entry", options.everyDesktopEntry,
      "instead, remove every product's desktop entry and its defaults, keeping the keys (run as the tool is removed)");
  name->excludes(every);
  unregister->require_option(1);
}

}  // namespace korvex_tool
