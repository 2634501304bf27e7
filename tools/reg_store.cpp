#include "tools/reg_store.h"

#include <signal.h>

#include <memory>

#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

constexpr DWORD kMaxValueName = 16384;

ToolError Failure(const std::string& what, const KeyPath& path, LONG status) {
  return ToolError("cannot " + what + " " + path.Full() + ": " + DescribeError(status));
}

void CreateKey(const KeyPath& path, OpenKey* key) {
  LONG rc = RegCreateKeyExA(path.root, path.subkey.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                            key->out(), NULL);
  if (rc != ERROR_SUCCESS) throw Failure("create", path, rc);
}

void DeleteTree(const KeyPath& path) {
  LONG rc = SHDeleteKeyA(path.root, path.subkey.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) throw Failure("delete", path, rc);
}

void WriteValue(HKEY key, const KeyPath& path, const RegValueEdit& value) {
  LONG rc = value.remove ? RegDeleteValueA(key, value.name.c_str())
                         : RegSetValueExA(key, value.name.c_str(), 0, value.type,
                                          reinterpret_cast<const BYTE*>(value.data.data()),
                                          static_cast<DWORD>(value.data.size()));
  if (rc == ERROR_FILE_NOT_FOUND && value.remove) return;
  if (rc != ERROR_SUCCESS) throw Failure("write a value of", path, rc);
}

void ApplyBlock(const RegKeyEdit& block) {
  if (block.remove) return DeleteTree(block.key);
  OpenKey key;
  CreateKey(block.key, &key);
  for (const RegValueEdit& value : block.values) WriteValue(key.get(), block.key, value);
}

// The value as it is now, or a removal when the key has none of that name.
RegValueEdit CurrentValue(HKEY key, const KeyPath& path, const std::string& name) {
  RegValueEdit value;
  value.name = name;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), NULL, &value.type, NULL, &size);
  if (rc == ERROR_FILE_NOT_FOUND) {
    value.remove = true;
    return value;
  }
  value.data.resize(size);
  if (rc == ERROR_SUCCESS)
    rc = RegQueryValueExA(key, name.c_str(), NULL, &value.type, reinterpret_cast<BYTE*>(&value.data[0]), &size);
  if (rc != ERROR_SUCCESS) throw Failure("read a value of", path, rc);
  value.data.resize(size);
  return value;
}

// What one block's edit changes, and how to put it back.
struct Undo {
  KeyPath key;
  bool changesNothing = false;           // the deletion of a missing key
  std::unique_ptr<RegFile> deletedTree;  // a deleted key, with everything below it
  std::string firstCreated;              // the highest key that the edit creates
  std::vector<RegValueEdit> oldValues;   // the values the edit overwrites or removes

  void Restore() const {
    if (changesNothing) return;
    if (deletedTree) {
      DeleteTree(key);
      for (const RegKeyEdit& block : deletedTree->keys) ApplyBlock(block);
      return;
    }
    if (!firstCreated.empty()) {
      KeyPath created = key;
      created.subkey = firstCreated;
      return DeleteTree(created);
    }
    OpenKey open;
    CreateKey(key, &open);
    for (auto value = oldValues.rbegin(); value != oldValues.rend(); ++value) WriteValue(open.get(), key, *value);
  }
};

Undo Capture(const RegKeyEdit& block) {
  Undo undo;
  undo.key = block.key;
  if (block.remove) {
    if (KeyExists(block.key)) undo.deletedTree.reset(new RegFile(ReadTree(block.key)));
    else undo.changesNothing = true;
    return undo;
  }
  for (size_t end = block.key.subkey.find('\\');; end = block.key.subkey.find('\\', end + 1)) {
    KeyPath prefix = block.key;
    prefix.subkey = block.key.subkey.substr(0, end);
    if (!KeyExists(prefix)) {
      undo.firstCreated = prefix.subkey;
      return undo;
    }
    if (end == std::string::npos) break;
  }
  OpenKey key;
  OpenExisting(block.key, KEY_QUERY_VALUE, &key);
  for (const RegValueEdit& value : block.values) undo.oldValues.push_back(CurrentValue(key.get(), block.key, value.name));
  return undo;
}

// Holds back the signals that end a process while the registry is half changed.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP}) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &saved_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, NULL); }

 private:
  sigset_t saved_;
};

}  // namespace

OpenKey::~OpenKey() {
  if (key_) RegCloseKey(key_);
}

std::string DescribeError(LONG status) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_PARAMETER: return "invalid name";
    case ERROR_BAD_PATHNAME: return "invalid path";
    case ERROR_KEY_DELETED: return "the key was deleted meanwhile";
    case ERROR_BADDB: return "the registry store is damaged";
    case ERROR_CANTOPEN: return "the registry store cannot be opened";
    case ERROR_CANTREAD: return "the registry store cannot be read";
    case ERROR_CANTWRITE: return "the registry store cannot be written";
    case ERROR_BUSY: return "the registry store is busy";
    default: return "error " + std::to_string(status);
  }
}

void OpenExisting(const KeyPath& path, REGSAM access, OpenKey* key) {
  LONG rc = RegOpenKeyExA(path.root, path.subkey.c_str(), 0, access, key->out());
  if (rc != ERROR_SUCCESS) throw Failure("open", path, rc);
}

bool KeyExists(const KeyPath& path) {
  OpenKey key;
  LONG rc = RegOpenKeyExA(path.root, path.subkey.c_str(), 0, KEY_QUERY_VALUE, key.out());
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  if (rc != ERROR_SUCCESS) throw Failure("open", path, rc);
  return true;
}

std::vector<RegValueEdit> ReadValues(HKEY key, const KeyPath& path) {
  std::vector<RegValueEdit> values;
  std::vector<char> name(kMaxValueName + 1);
  std::string data(4096, '\0');
  for (DWORD index = 0;;) {
    RegValueEdit value;
    DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size());
    LONG rc = RegEnumValueA(key, index, name.data(), &nameLength, NULL, &value.type,
                            reinterpret_cast<BYTE*>(&data[0]), &size);
    if (rc == ERROR_NO_MORE_ITEMS) return values;
    if (rc == ERROR_MORE_DATA && size > data.size()) {
      data.resize(size);
      continue;
    }
    if (rc != ERROR_SUCCESS) throw Failure("read the values of", path, rc);
    value.name.assign(name.data(), nameLength);
    value.data = data.substr(0, size);
    values.push_back(value);
    ++index;
  }
}

std::vector<std::string> SubkeyNames(HKEY key, const KeyPath& path) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    LONG rc = RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, NULL);
    if (rc == ERROR_NO_MORE_ITEMS) return names;
    if (rc != ERROR_SUCCESS) throw Failure("read the subkeys of", path, rc);
    names.emplace_back(name, length);
  }
}

RegFile ReadTree(const KeyPath& path) {
  RegFile tree;
  std::vector<KeyPath> pending{path};
  while (!pending.empty()) {
    KeyPath next = pending.back();
    pending.pop_back();
    OpenKey key;
    OpenExisting(next, KEY_READ, &key);
    RegKeyEdit block;
    block.key = next;
    block.values = ReadValues(key.get(), next);
    tree.keys.push_back(block);
    std::vector<std::string> names = SubkeyNames(key.get(), next);
    for (auto name = names.rbegin(); name != names.rend(); ++name) pending.push_back(next.Child(*name));
  }
  return tree;
}

void ApplyAll(const RegFile& file) {
  SignalsHeld held;
  std::vector<Undo> undos;
  try {
    for (const RegKeyEdit& block : file.keys) {
      undos.push_back(Capture(block));
      ApplyBlock(block);
    }
  } catch (const ToolError& error) {
    try {
      for (auto undo = undos.rbegin(); undo != undos.rend(); ++undo) undo->Restore();
    } catch (const ToolError& restoring) {
      throw ToolError(std::string(error.what()) + "; restoring the earlier state failed too (" + restoring.what() +
                      "): the registry is partly changed");
    }
    throw ToolError(std::string(error.what()) + "; nothing was changed");
  }
}

}  // namespace korvex_tool
