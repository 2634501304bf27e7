// korvex reg: query and change the registry, and move keys in .reg files.
#include <stdio.h>
#include <strings.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/file_io.h"
#include "tools/reg_file.h"
#include "tools/reg_store.h"
#include "tools/reg_value_text.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

struct RegOptions {
  std::string key;
  std::string value;
  bool valueGiven = false;  // -v given, even empty: the empty name is the unnamed value
  bool defaultValue = false;
  bool force = false;
  bool recursive = false;
  std::string type = "REG_SZ";
  std::string data;
  std::string separator = "\\0";
  std::string newName;
  std::string file;
};

KeyPath Key(const std::string& text, bool rootAllowed) {
  KeyPath path;
  std::string why;
  if (!ParseKeyPath(text, &path, &why)) throw ToolError(why, kExitUsage);
  if (!rootAllowed && path.subkey.empty()) throw ToolError("a root key cannot be changed: " + text, kExitUsage);
  return path;
}

// The value a command names: -v NAME, or --default for the unnamed one.
bool NamesValue(const RegOptions& options) { return options.defaultValue || options.valueGiven; }

DWORD TypeNumber(const std::string& name) {
  for (DWORD type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY})
    if (TypeName(type) == name) return type;
  throw ToolError("unknown type " + name, kExitUsage);
}

void PrintValue(const RegValueEdit& value) {
  printf("    %s    %s    %s\n", value.name.empty() ? "(Default)" : value.name.c_str(), TypeName(value.type).c_str(),
         DataToText(value.type, value.data).c_str());
}

void PrintKey(const RegKeyEdit& block) {
  printf("%s\n", block.key.Full().c_str());
  for (const RegValueEdit& value : block.values) PrintValue(value);
}

void Query(const RegOptions& options) {
  KeyPath path = Key(options.key, true);
  if (options.recursive) {
    RegFile tree = ReadTree(path);
    for (size_t i = 0; i < tree.keys.size(); ++i) {
      if (i) printf("\n");
      PrintKey(tree.keys[i]);
    }
    return;
  }
  OpenKey key;
  OpenExisting(path, KEY_READ, &key);
  RegKeyEdit block;
  block.key = path;
  block.values = ReadValues(key.get(), path);
  if (NamesValue(options)) {
    for (const RegValueEdit& value : block.values) {
      if (strcasecmp(value.name.c_str(), options.value.c_str()) != 0) continue;
      printf("%s\n", path.Full().c_str());
      return PrintValue(value);
    }
    throw ToolError("no value \"" + options.value + "\" in " + path.Full());
  }
  PrintKey(block);
  std::vector<std::string> subkeys = SubkeyNames(key.get(), path);
  if (!subkeys.empty()) printf("\n");
  for (const std::string& name : subkeys) printf("%s\n", path.Child(name).Full().c_str());
}

void Add(const RegOptions& options) {
  RegKeyEdit block;
  block.key = Key(options.key, false);
  if (NamesValue(options)) {
    RegValueEdit value;
    value.name = options.value;
    value.type = TypeNumber(options.type);
    value.data = DataFromText(value.type, options.data, options.separator);
    block.values.push_back(value);
  } else if (!options.data.empty()) {
    throw ToolError("--data needs --value NAME or --default", kExitUsage);
  }
  RegFile file;
  file.keys.push_back(block);
  ApplyAll(file);
}

// Asked on a terminal; refused when nobody can answer.
void ConfirmTreeDelete(const KeyPath& path) {
  if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO))
    throw ToolError(path.Full() + " has subkeys; --force deletes it with everything below it");
  fprintf(stderr, "Delete %s with every subkey below it? [y/N] ", path.Full().c_str());
  char answer[16] = "";
  if (!fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y'))
    throw ToolError("nothing was deleted");
}

void Delete(const RegOptions& options) {
  KeyPath path = Key(options.key, false);
  OpenKey key;
  OpenExisting(path, KEY_READ | KEY_SET_VALUE, &key);
  if (!NamesValue(options)) {
    if (!options.force && !SubkeyNames(key.get(), path).empty()) ConfirmTreeDelete(path);
    LONG rc = SHDeleteKeyA(path.root, path.subkey.c_str());
    if (rc != ERROR_SUCCESS) throw ToolError("cannot delete " + path.Full() + ": " + DescribeError(rc));
    return;
  }
  LONG rc = RegDeleteValueA(key.get(), options.value.c_str());
  if (rc == ERROR_FILE_NOT_FOUND) throw ToolError("no value \"" + options.value + "\" in " + path.Full());
  if (rc != ERROR_SUCCESS) throw ToolError("cannot delete a value of " + path.Full() + ": " + DescribeError(rc));
}

// The whole tree is read first, then the old key is deleted and the tree
// written under the new name in one all-or-nothing step, so a new name that
// differs only in letter case works too.
void Rename(const RegOptions& options) {
  KeyPath from = Key(options.key, false);
  if (options.newName.empty() || options.newName.find('\\') != std::string::npos)
    throw ToolError("the new name must be one key name, without backslashes", kExitUsage);
  KeyPath to = Key(from.Sibling(options.newName).Full(), false);
  bool sameKey = strcasecmp(from.LastName().c_str(), options.newName.c_str()) == 0;
  if (from.LastName() == options.newName) throw ToolError("the new name is the old name", kExitUsage);
  RegFile moved = ReadTree(from);
  if (!sameKey && KeyExists(to)) throw ToolError(to.Full() + " exists already");
  RegKeyEdit removal;
  removal.key = from;
  removal.remove = true;
  RegFile file;
  file.keys.push_back(removal);
  for (RegKeyEdit& block : moved.keys) {
    block.key.subkey = to.subkey + block.key.subkey.substr(from.subkey.size());
    file.keys.push_back(block);
  }
  ApplyAll(file);
}

void Export(const RegOptions& options) {
  RegFile tree = ReadTree(Key(options.key, true));
  std::string bytes, error;
  if (!WriteRegFile(tree, &bytes, &error)) throw ToolError(error);
  WriteAll(options.file, bytes);
}

void Import(const RegOptions& options) {
  RegFile file;
  std::string error;
  if (!ReadRegFile(ReadAll(options.file), &file, &error)) throw ToolError(options.file + ": " + error + "; nothing was imported");
  ApplyAll(file);
  printf("imported %zu keys and %zu values from %s\n", file.keys.size(), file.ValueCount(), options.file.c_str());
}

CLI::App* AddKeyCommand(CLI::App* reg, const char* name, const char* description, RegOptions& options) {
  CLI::App* command = reg->add_subcommand(name, description);
  command->add_option("KEY", options.key, "HKCU\\... or HKLM\\... (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)")->required();
  return command;
}

void AddValueOptions(CLI::App* command, RegOptions& options) {
  CLI::Option* value = command->add_option("-v,--value", options.value, "the value's name (empty: the unnamed value)")
                           ->each([&options](const std::string&) { options.valueGiven = true; });
  command->add_flag("--default", options.defaultValue, "the key's unnamed (default) value")->excludes(value);
}

}  // namespace

void AddRegCommand(CLI::App& app) {
  static RegOptions options;
  CLI::App* reg = AddCommandGroup(app, "reg", "Query and change the registry; move keys in .reg files");

  CLI::App* query = AddKeyCommand(reg, "query", "Show a key's values and subkeys", options);
  AddValueOptions(query, options);
  query->add_flag("-s,--recursive", options.recursive, "show every key below too");
  query->callback([] { Query(options); });

  CLI::App* add = AddKeyCommand(reg, "add", "Create a key, or set one of its values", options);
  AddValueOptions(add, options);
  add->add_option("-t,--type", options.type, "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY")
      ->transform(CLI::IsMember({"REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_DWORD", "REG_BINARY"},
                                CLI::ignore_case))
      ->capture_default_str();
  add->add_option("-d,--data", options.data,
                  "the data: text; a number (decimal or 0x...) for REG_DWORD; hexadecimal bytes for REG_BINARY");
  add->add_option("--separator", options.separator, "what separates the texts of REG_MULTI_SZ data")
      ->capture_default_str();
  add->callback([] { Add(options); });

  CLI::App* remove = AddKeyCommand(reg, "delete", "Delete a key with everything below it, or one value", options);
  AddValueOptions(remove, options);
  remove->add_flag("-f,--force", options.force, "delete a key with subkeys without asking");
  remove->callback([] { Delete(options); });

  CLI::App* rename = AddKeyCommand(reg, "rename", "Give a key a new name beside it, with everything below it", options);
  rename->add_option("NEWNAME", options.newName, "the new name of the key's last part")->required();
  rename->callback([] { Rename(options); });

  CLI::App* exporter = AddKeyCommand(reg, "export", "Write a key with everything below it to a .reg file", options);
  exporter->add_option("FILE", options.file, "the .reg file (UTF-16LE), or - for standard output")->required();
  exporter->callback([] { Export(options); });

  CLI::App* importer = reg->add_subcommand("import", "Apply a .reg file: every change in it, or none");
  importer->add_option("FILE", options.file, "the .reg file (UTF-16LE or UTF-8), or - for standard input")->required();
  importer->callback([] { Import(options); });
}

}  // namespace korvex_tool
