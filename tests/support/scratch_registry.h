#ifndef KORVEX_TESTS_SUPPORT_SCRATCH_REGISTRY_H
#define KORVEX_TESTS_SUPPORT_SCRATCH_REGISTRY_H

// The registry and files a test may change: each test program gets a folder of
// its own for its hives and configuration (KORVEX_REGISTRY_DIR, XDG_CONFIG_HOME),
// so a user's real settings are never touched. On Windows the keys live in the
// user's registry.
#include <string>
#include <vector>

#include "korvex/platform.h"

// A fresh folder for one test, the hive and configuration folder until it goes.
class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_, registry_, config_;  // the folder, the variables it replaced
};

// A whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Replaces a file's bytes.
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A key of its own for one test below HKEY_CURRENT_USER, deleted with its subtree.
class ScratchKey {
public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  HKEY get() const { return key_; }                  // opened with KEY_ALL_ACCESS
  const std::string& path() const { return path_; }  // below HKEY_CURRENT_USER
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
  HKEY key_ = nullptr;
};

// The test program's own folder, with a trailing separator.
std::string ScratchFolderOfProgram();
// A fresh folder in it, named after `name`.
std::string NewFolder(const std::string& name = "folder");

// Calls the registry tests share. CreateKey asks for KEY_ALL_ACCESS and fails
// the test when it cannot; SetText stores the terminator too.
HKEY CreateKey(HKEY parent, const char* name);
LONG SetText(HKEY key, const std::string& name, const char* text);
LONG SetNumber(HKEY key, const std::string& name, DWORD number);
// The results of a sequence of calls, in order (a braced list runs its calls in order).
using Rcs = std::vector<LONG>;
// A value's type, size and bytes as RegQueryValueExA gives them, read into a
// buffer twice its size.
struct StoredValue {
  LONG rc;
  DWORD type, size;
  std::string bytes;
};
StoredValue ReadStored(HKEY key, const char* name);
// The entry at index as "name=data", its data read as text; "<error>" when there is none.
std::string Entry(HKEY key, DWORD index, bool subkey = false);
// Walks stop after this many entries, so that an enumeration that never ends
// fails its test instead of hanging it.
constexpr DWORD kMostEntries = 100000;
std::vector<std::string> SubkeyNames(HKEY key);
// The values as "name=data;", then the subkeys as "[name]{...}", their contents
// too when deep; a listing that stops on an error ends in "<error>".
std::string Tree(HKEY key, bool deep = true);
// The tree of root\\path; "<missing>" when it cannot be opened.
std::string TreeAt(HKEY root, const std::string& path, bool deep = true);

#endif
