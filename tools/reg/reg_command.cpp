// korvex reg: query and change the registry, and move keys in .reg files.
#include <stdio.h>
#include <strings.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/completion/command_tree.h"
#include "tools/file_io.h"
#include "tools/reg/reg_file.h"
#include "tools/reg/reg_store.h"
#include "tools/reg/reg_value_text.h"
#include "tools/formats/json.h"
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
  bool json = false;
  bool utf8 = false;
  std::string dataFile;
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

const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE};

DWORD TypeNumber(const std::string& name) {
  for (DWORD type : kTypes)
    if (strcasecmp(TypeName(type).c_str(), name.c_str()) == 0) return type;
  throw ToolError("unknown type " + name, kExitUsage);
}

// A line of output holds one value: line breaks in the data are shown escaped.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  return out;
}

void PrintValue(const RegValueEdit& value) {
  printf("    %s    %s    %s\n", value.name.empty() ? "(Default)" : OneLine(value.name).c_str(),
         TypeName(value.type).c_str(), OneLine(DataToText(value.type, value.data)).c_str());
}

void PrintKey(const RegKeyEdit& block) {
  printf("%s\n", block.key.Full().c_str());
  for (const RegValueEdit& value : block.values) PrintValue(value);
}

// Numbers as numbers, texts as strings (REG_MULTI_SZ as a list), other data
// as hexadecimal digits. A number above 2^53 goes as a string: JSON readers
// keep numbers as doubles, which would round it.
std::string JsonValue(const RegValueEdit& value) {
  std::string data;
  if (NumberSize(value.type) == value.data.size() && value.data.size()) {
    unsigned long long number = NumberOf(value.data);
    data = number <= (1ull << 53) ? std::to_string(number) : JsonString(std::to_string(number));
  } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
    std::vector<std::string> texts;
    for (const std::string& text : TextsOf(value.type, value.data)) texts.push_back(JsonString(text));
    data = value.type == REG_MULTI_SZ ? JsonArray(texts) : texts[0];
  } else {
    data = JsonString(Hex(value.data));
  }
  return "{\"name\":" + JsonString(value.name) + ",\"type\":" + JsonString(TypeName(value.type)) + ",\"data\":" + data +
         "}";
}

std::string JsonKey(const RegKeyEdit& block, const std::vector<std::string>& subkeys) {
  std::vector<std::string> values, names;
  for (const RegValueEdit& value : block.values) values.push_back(JsonValue(value));
  for (const std::string& name : subkeys) names.push_back(JsonString(name));
  return "{\"key\":" + JsonString(block.key.Full()) + ",\"values\":" + JsonArray(values) +
         ",\"subkeys\":" + JsonArray(names) + "}";
}

void Query(const RegOptions& options) {
  KeyPath path = Key(options.key, true);
  if (options.recursive) {
    RegFile tree = ReadTree(path);
    if (options.json) {
      std::vector<std::string> keys;
      for (size_t i = 0; i < tree.keys.size(); ++i) {
        std::vector<std::string> subkeys;
        for (const RegKeyEdit& other : tree.keys)
          if (other.key.subkey.size() > tree.keys[i].key.subkey.size() &&
              other.key.subkey.compare(0, tree.keys[i].key.subkey.size() + 1, tree.keys[i].key.subkey + "\\") == 0 &&
              other.key.subkey.find('\\', tree.keys[i].key.subkey.size() + 1) == std::string::npos)
            subkeys.push_back(other.key.LastName());
        keys.push_back(JsonKey(tree.keys[i], subkeys));
      }
      return (void)printf("%s\n", JsonArray(keys).c_str());
    }
    for (size_t i = 0; i < tree.keys.size(); ++i) {
      if (i) printf("\n");
      PrintKey(tree.keys[i]);
    }
    return;
  }
  OpenKey key;
  OpenExisting(path, KEY_READ, &key);
  if (NamesValue(options)) {
    RegValueEdit value;
    if (!ReadValue(key.get(), path, options.value, &value))
      throw ToolError("no value \"" + options.value + "\" in " + path.Full());
    if (options.json) return (void)printf("%s\n", JsonValue(value).c_str());
    printf("%s\n", path.Full().c_str());
    return PrintValue(value);
  }
  RegKeyEdit block;
  block.key = path;
  block.values = ReadValues(key.get(), path);
  std::vector<std::string> subkeys = SubkeyNames(key.get(), path);
  if (options.json) return (void)printf("%s\n", JsonKey(block, subkeys).c_str());
  PrintKey(block);
  if (!subkeys.empty()) printf("\n");
  for (const std::string& name : subkeys) printf("%s\n", path.Child(name).Full().c_str());
}

// The data alone, for scripts: texts as they are (REG_MULTI_SZ one a line),
// numbers in decimal, other data in hexadecimal digits.
void Get(const RegOptions& options) {
  if (!NamesValue(options)) throw ToolError("name the value with -v NAME or --default", kExitUsage);
  KeyPath path = Key(options.key, true);
  OpenKey key;
  OpenExisting(path, KEY_READ, &key);
  RegValueEdit value;
  if (!ReadValue(key.get(), path, options.value, &value))
    throw ToolError("no value \"" + options.value + "\" in " + path.Full());
  if (NumberSize(value.type) == value.data.size() && value.data.size())
    printf("%llu\n", NumberOf(value.data));
  else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
    for (const std::string& text : TextsOf(value.type, value.data)) printf("%s\n", text.c_str());
  else
    printf("%s\n", Hex(value.data).c_str());
}

void Add(const RegOptions& options) {
  RegKeyEdit block;
  block.key = Key(options.key, false);
  if (NamesValue(options)) {
    RegValueEdit value;
    value.name = options.value;
    value.type = TypeNumber(options.type);
    if (options.dataFile.empty())
      value.data = DataFromText(value.type, options.data, options.separator);
    else
      value.data = DataFromFile(value.type, ReadAll(options.dataFile), options.separator);
    block.values.push_back(value);
  } else if (!options.data.empty() || !options.dataFile.empty()) {
    throw ToolError("--data and --data-file need --value NAME or --default", kExitUsage);
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
  if (!WriteRegFile(tree, &bytes, &error, options.utf8)) throw ToolError(error);
  WriteAll(options.file, bytes);
}

void Import(const RegOptions& options) {
  RegFile file;
  std::string error;
  if (!ReadRegFile(ReadAll(options.file), &file, &error))
    throw ToolError(options.file + ": " + error + "; nothing was imported");
  ApplyAll(file);
  printf("imported %zu keys and %zu values from %s\n", file.keys.size(), file.ValueCount(), options.file.c_str());
}

CLI::App* AddKeyCommand(CLI::App* reg, const char* name, const char* description, RegOptions& options) {
  CLI::App* command = reg->add_subcommand(name, description);
  CompletesRegistryKey(
      command->add_option("KEY", options.key, "HKCU\\... or HKLM\\... (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)")
          ->required());
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
  query->add_flag("--json", options.json,
                  "one JSON document: the key (a list of keys with -s), or the value; numbers above 2^53 as "
                  "strings, which JSON readers keep exactly");
  query->callback([] { Query(options); });

  CLI::App* get =
      AddKeyCommand(reg, "get", "Print one value's data alone, for scripts (status 1 when missing)", options);
  AddValueOptions(get, options);
  get->callback([] { Get(options); });

  CLI::App* add = AddKeyCommand(reg, "add", "Create a key, or set one of its values", options);
  AddValueOptions(add, options);
  add->add_option("-t,--type", options.type,
                  "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY or REG_NONE")
      ->transform(
          CLI::IsMember({"REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_DWORD", "REG_QWORD", "REG_BINARY", "REG_NONE"},
                        CLI::ignore_case))
      ->capture_default_str();
  CLI::Option* data = add->add_option(
      "-d,--data", options.data,
      "the data: text; a number (decimal or 0x...) for REG_DWORD and REG_QWORD; hexadecimal bytes for REG_BINARY "
      "and REG_NONE");
  add->add_option("--data-file", options.dataFile,
                  "the data from this file, or - for standard input: its bytes as they are for REG_BINARY and "
                  "REG_NONE, else its text as --data takes it")
      ->excludes(data);
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
  exporter->add_flag("--utf8", options.utf8, "write UTF-8 without a byte order mark instead");
  exporter->callback([] { Export(options); });

  CLI::App* importer = reg->add_subcommand("import", "Apply a .reg file: every change in it, or none");
  importer->add_option("FILE", options.file, "the .reg file (UTF-16LE or UTF-8), or - for standard input")->required();
  importer->callback([] { Import(options); });
}

}  // namespace korvex_tool
