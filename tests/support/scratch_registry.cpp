#include "tests/support/scratch_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/shell.h"

namespace {

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// An empty value removes the variable.
void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
#endif
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" + std::to_string(counter++) +
         "-" + (test ? test->name() : "program");
}

// Makes the folder the hive folder and the configuration folder.
void UseForTheRegistry(const std::string& path) {
  std::filesystem::create_directories(path);
  SetEnvironment("KORVEX_REGISTRY_DIR", path);
  SetEnvironment("XDG_CONFIG_HOME", path + "/config");
}

void Remove(const std::string& path) {
  std::error_code ignored;  // a test may have left it read-only
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(path, ignored);
}

// Made on first use, so that a child process started by a test keeps the
// folder it inherits; removed when the program ends.
struct ProgramFolder {
  std::string path = testing::TempDir() + "korvex-tests-" + UniqueName();
  ProgramFolder() {
    UseForTheRegistry(path);
    std::filesystem::create_directories(path + "/config");  // the tool's stores go there
  }
  ~ProgramFolder() { Remove(path); }
};

const std::string& ProgramFolderPath() {
  static ProgramFolder folder;
  return folder.path;
}

}  // namespace

ScratchFolder::ScratchFolder()
    : path_(ProgramFolderPath() + "/" + UniqueName()),
      registry_(Environment("KORVEX_REGISTRY_DIR")),
      config_(Environment("XDG_CONFIG_HOME")) {
  UseForTheRegistry(path_);
}

ScratchFolder::~ScratchFolder() {
  SetEnvironment("KORVEX_REGISTRY_DIR", registry_);
  SetEnvironment("XDG_CONFIG_HOME", config_);
  Remove(path_);
}

std::string ScratchFolderOfProgram() { return ProgramFolderPath() + "/"; }

std::string NewFolder(const std::string& name) {
  std::string folder = ProgramFolderPath() + "/" + name + "-" + UniqueName();
  EXPECT_TRUE(std::filesystem::create_directories(folder)) << folder;
  return folder;
}

ScratchKey::ScratchKey() : path_("Software\\korvex-tests\\" + UniqueName()) {
  ProgramFolderPath();
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key_, nullptr));
}

ScratchKey::~ScratchKey() {
  if (key_) RegCloseKey(key_);
  SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
}

HKEY CreateKey(HKEY parent, const char* name) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  return key;
}

LONG SetText(HKEY key, const std::string& name, const char* text) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
}

LONG SetNumber(HKEY key, const std::string& name, DWORD number) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

StoredValue ReadStored(HKEY key, const char* name) {
  StoredValue stored{0, 0, 0, {}};
  stored.rc = RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &stored.size);
  if (stored.rc != ERROR_SUCCESS) return stored;
  std::vector<BYTE> buffer(stored.size * 2 + 2);
  DWORD size = static_cast<DWORD>(buffer.size());
  stored.rc = RegQueryValueExA(key, name, nullptr, &stored.type, buffer.data(), &size);
  stored.bytes.assign(reinterpret_cast<char*>(buffer.data()), size);
  return stored;
}

std::string Entry(HKEY key, DWORD index, bool subkey) {
  char name[64] = {}, data[4097] = {};
  DWORD length = sizeof name, size = sizeof data - 1;
  LONG rc = subkey ? RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr)
                   : RegEnumValueA(key, index, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  return rc == ERROR_SUCCESS ? std::string(name) + "=" + data : "<" + std::to_string(rc) + ">";
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[64];
  for (DWORD i = 0; i < kMostEntries && RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  return names;
}

std::string Tree(HKEY key, bool deep) {
  const std::string end = "<" + std::to_string(ERROR_NO_MORE_ITEMS) + ">";
  std::string out, entry;
  for (DWORD i = 0; i < kMostEntries && (entry = Entry(key, i))[0] != '<'; ++i) out += entry + ";";
  if (entry != end) return out + entry;
  for (DWORD i = 0; i < kMostEntries && (entry = Entry(key, i, true))[0] != '<'; ++i) {
    std::string name = entry.substr(0, entry.size() - 1);
    out += "[" + name + "]{" + (deep ? TreeAt(key, name) : "") + "}";
  }
  return entry == end ? out : out + entry;
}

std::string TreeAt(HKEY root, const std::string& path, bool deep) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
  std::string tree = Tree(key, deep);
  RegCloseKey(key);
  return tree;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
