// korvex options: the products' option store, in either of its places.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <CLI/CLI.hpp>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/reg/reg_store.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

struct OptionsOptions {
  std::string registry;   // FIRST[/SECOND]: HKCU\SOFTWARE\FIRST\SECOND
  std::string iniFolder;  // a subfolder of the user's application-data folder
  std::string iniName;    // the file in it, "setup.ini" when not given
  std::string iniPath;    // or a file named outright
  std::string section, name, value;
  bool integer = false;
};

// Opens the store and the section; returns where the store is, for messages.
std::string Open(COptionStorage& store, const OptionsOptions& options) {
  int opened = 0;
  std::string where;
  if (!options.registry.empty()) {
    size_t split = options.registry.find_first_of("/\\");
    std::string first = options.registry.substr(0, split);
    std::string second = split == std::string::npos ? "" : options.registry.substr(split + 1);
    opened = store.OpenRegistry(first.c_str(), second.empty() ? nullptr : second.c_str());
    where = "HKEY_CURRENT_USER\\SOFTWARE\\" + first + (second.empty() ? "" : "\\" + second);
  } else if (!options.iniPath.empty()) {
    opened = store.OpenIniFile(options.iniPath.c_str());
    where = options.iniPath;
  } else {
    opened = store.OpenIniFile(options.iniFolder.empty() ? nullptr : options.iniFolder.c_str(),
                               options.iniName.empty() ? nullptr : options.iniName.c_str());
    where = "the application-data file " + (options.iniFolder.empty() ? "" : options.iniFolder + "/") +
            (options.iniName.empty() ? "setup.ini" : options.iniName);
  }
  if (!opened) throw ToolError("cannot open the option store in " + where);
  if (!store.SetSection(options.section.c_str())) throw ToolError("cannot select the section " + options.section);
  return where;
}

int ParseInt(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  long value = strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || value < INT32_MIN || value > INT32_MAX)
    throw ToolError("\"" + text + "\" is not a 32-bit integer", kExitUsage);
  return static_cast<int>(value);
}

// Either kind of value; two defaults that no store gives for the same
// option tell a missing one apart.
void Get(const OptionsOptions& options) {
  COptionStorage store;
  Open(store, options);
  const char* name = options.name.c_str();
  if (!options.integer) {
    const char* missing = "\n";
    CString text = store.GetValue(name, missing);
    if (text != missing) return (void)printf("%s\n", static_cast<const char*>(text));
  }
  int first = store.GetValue(name, INT32_MIN), second = store.GetValue(name, INT32_MAX);
  if (first != INT32_MIN || second != INT32_MAX) return (void)printf("%d\n", first == INT32_MIN ? second : first);
  const char* missing = "\n";
  CString text = store.GetValue(name, missing);
  if (text != missing)
    throw ToolError("the option \"" + options.name + "\" in the section " + options.section +
                    " is not an integer: " + static_cast<const char*>(text));
  throw ToolError("no option \"" + options.name + "\" in the section " + options.section);
}

// What a read gives for a text written: a profile file's reader trims blanks
// and removes one pair of quotes around the value, as the footer says; the
// registry keeps the text as it is.
std::string ReadBackOf(const OptionsOptions& options, const std::string& text) {
  if (!options.registry.empty()) return text;
  size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
  std::string value = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// The store creates its registry keys but not the profile file's subfolder.
void CreateIniFolder(const std::string& subfolder) {
  char appData[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData))) return;
  CString path(appData);
  for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = subfolder.find_first_of("/\\", start);
    AppendPath(path, subfolder.substr(start, end == std::string::npos ? end : end - start).c_str());
    EnsureFolderExist(path);
  }
}

// SetValue reports nothing, so the value is read back through a store opened
// afresh; the error the write left behind says why it is missing.
void Set(const OptionsOptions& options) {
  if (options.name.empty()) throw ToolError("the option needs a name", kExitUsage);
  if (!options.iniFolder.empty()) CreateIniFolder(options.iniFolder);
  const char* name = options.name.c_str();
  std::string where;
  {
    COptionStorage store;
    where = Open(store, options);
    SetLastError(ERROR_SUCCESS);
    if (options.integer)
      store.SetValue(name, ParseInt(options.value));
    else
      store.SetValue(name, options.value.c_str());
  }
  LONG error = static_cast<LONG>(GetLastError());
  COptionStorage check;
  Open(check, options);
  bool stored = options.integer ? check.GetValue(name, INT32_MIN) == ParseInt(options.value) &&
                                      check.GetValue(name, INT32_MAX) == ParseInt(options.value)
                                : std::string(check.GetValue(name, "\n")) == ReadBackOf(options, options.value);
  if (!stored)
    throw ToolError("cannot write " + options.name + " to " + where + ": " +
                    (error != ERROR_SUCCESS ? DescribeError(error) : std::string("the value read back differs")));
}

// FIRST or FIRST/SECOND: a third name has no key of the store to go to, and
// an empty one would leave no store at all.
std::string CheckStoreKey(const std::string& text) {
  size_t split = text.find_first_of("/\\");
  bool ok = !text.empty() && split != 0 &&
            (split == std::string::npos ||
             (split + 1 < text.size() && text.find_first_of("/\\", split + 1) == std::string::npos));
  return ok ? "" : "FIRST or FIRST/SECOND, two names at most, none of them empty, not \"" + text + "\"";
}

CLI::App* AddStoreCommand(CLI::App* parent, const char* name, const char* description, OptionsOptions& options) {
  CLI::App* command = parent->add_subcommand(name, description);
  CLI::Option* registry =
      command->add_option("--registry", options.registry, "FIRST[/SECOND]: the store below HKEY_CURRENT_USER\\SOFTWARE")
          ->check(CLI::Validator(CheckStoreKey, "FIRST[/SECOND]"));
  CLI::Option* folder = command->add_option("--ini", options.iniFolder,
                                            "the store in a profile file in this subfolder of the user's "
                                            "application-data folder");
  command->add_option("--ini-name", options.iniName, "the profile file's name in that folder (setup.ini)")
      ->needs(folder);
  CLI::Option* path = command->add_option("--ini-file", options.iniPath, "the store in this profile file");
  registry->excludes(folder)->excludes(path);
  folder->excludes(path);
  command->add_option("SECTION", options.section, "the section (a subkey in the registry)")->required();
  command->add_option("NAME", options.name, "the option's name")->required();
  command->add_flag("--int", options.integer, "an integer (REG_DWORD in the registry) rather than text");
  return command;
}

}  // namespace

void AddOptionsCommand(CLI::App& app) {
  static OptionsOptions options;
  CLI::App* command =
      AddCommandGroup(app, "options", "Read and write the products' options (registry or profile file)");
  command->footer(
      "A profile file is read as Windows reads profile files: blanks around names and values trimmed, "
      "names matched in any letter case, one pair of quotes around a value removed. \"set --ini\" creates the "
      "subfolder when missing.");
  CLI::App* get = AddStoreCommand(command, "get", "Show one option", options);
  get->callback([] { Get(options); });
  CLI::App* set = AddStoreCommand(command, "set", "Set one option", options);
  set->add_option("VALUE", options.value)->required();
  set->callback([] { Set(options); });
}

}  // namespace korvex_tool
