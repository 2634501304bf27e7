#include "tools/reg/reg_store.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

constexpr DWORD kMaxValueName = 16384;

// A hive that refuses says so with one code: its file, and what stands in
// the way, say why.
std::string HiveCause(HKEY root, LONG status) {
  if (status != ERROR_ACCESS_DENIED && status != ERROR_CANTOPEN && status != ERROR_CANTREAD &&
      status != ERROR_CANTWRITE && status != ERROR_BADDB)
    return "";
  char text[1024];
  return KorvexDescribeHive(root, text, sizeof text) ? std::string(" (hive ") + text + ")" : "";
}

ToolError Failure(const std::string& what, const KeyPath& path, LONG status) {
  return ToolError("cannot " + what + " " + path.Full() + ": " + DescribeError(status, path.root));
}

// One registry transaction; closing it without a commit undoes everything in it.
class Transaction {
public:
  Transaction() : handle_(CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE)
      throw ToolError("cannot begin a transaction: " + DescribeError(static_cast<LONG>(GetLastError())));
  }
  ~Transaction() { CloseHandle(handle_); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  HANDLE get() const { return handle_; }

private:
  HANDLE handle_;
};

void DeleteTree(const KeyPath& path, HANDLE transaction) {
  OpenKey root;
  LONG rc = RegOpenKeyTransactedA(path.root, nullptr, 0, KEY_ALL_ACCESS, root.out(), transaction, nullptr);
  if (rc == ERROR_SUCCESS) rc = SHDeleteKeyA(root.get(), path.subkey.c_str());
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

void ApplyBlock(const RegKeyEdit& block, HANDLE transaction) {
  if (block.remove) return DeleteTree(block.key, transaction);
  OpenKey key;
  LONG rc = RegCreateKeyTransactedA(block.key.root, block.key.subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key.out(), nullptr, transaction, nullptr);
  if (rc != ERROR_SUCCESS) throw Failure("create", block.key, rc);
  for (const RegValueEdit& value : block.values) WriteValue(key.get(), block.key, value);
}

}  // namespace

OpenKey::~OpenKey() {
  if (key_) RegCloseKey(key_);
}

std::string DescribeError(LONG status, HKEY root) { return DescribeError(status) + HiveCause(root, status); }

std::string DescribeError(LONG status) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND:
      return "not found";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_INVALID_PARAMETER:
      return "invalid name";
    case ERROR_BAD_PATHNAME:
      return "invalid path";
    case ERROR_KEY_DELETED:
      return "the key was deleted meanwhile";
    case ERROR_BADDB:
      return "the registry store is damaged";
    case ERROR_CANTOPEN:
      return "the registry store cannot be opened";
    case ERROR_CANTREAD:
      return "the registry store cannot be read";
    case ERROR_CANTWRITE:
      return "the registry store cannot be written";
    case ERROR_BUSY:
      return "the registry store is busy";
    case ERROR_PATH_NOT_FOUND:
      return "no such folder";
    case ERROR_DISK_FULL:
      return "no space left on the device";
    case ERROR_IO_DEVICE:
      return "input/output error";
    case ERROR_WRITE_FAULT:
      return "the file cannot be written";
    default:
      return "error " + std::to_string(status);
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
    LONG rc = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &value.type,
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

bool ReadValue(HKEY key, const KeyPath& path, const std::string& name, RegValueEdit* value) {
  value->name = name;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, nullptr, &size);
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {  // more: it grew in between
    value->data.assign(size, '\0');
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, reinterpret_cast<BYTE*>(&value->data[0]), &size);
    if (rc == ERROR_SUCCESS) {
      value->data.resize(size);
      return true;
    }
  }
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  throw Failure("read a value of", path, rc);
}

std::vector<std::string> SubkeyNames(HKEY key, const KeyPath& path) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    LONG rc = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
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
  Transaction transaction;
  try {
    for (const RegKeyEdit& block : file.keys) ApplyBlock(block, transaction.get());
  } catch (const ToolError& error) {
    throw ToolError(std::string(error.what()) + "; nothing was changed");
  }
  if (!CommitTransaction(transaction.get()))
    throw ToolError("cannot commit the changes: " + DescribeError(static_cast<LONG>(GetLastError())));
}

}  // namespace korvex_tool
