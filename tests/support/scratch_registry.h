#ifndef KORVEX_TESTS_SUPPORT_SCRATCH_REGISTRY_H
#define KORVEX_TESTS_SUPPORT_SCRATCH_REGISTRY_H

// A registry key of its own for each test, below HKEY_CURRENT_USER, deleted
// with everything below it afterwards. It works on both targets: on Linux the
// test program first gets hives and a configuration folder of its own
// (KORVEX_REGISTRY_DIR, XDG_CONFIG_HOME), so a user's real settings are never
// touched; on Windows the key lives in the user's registry below
// Software\korvex-tests.
#include <string>

#include "korvex/platform.h"

class ScratchKey {
public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // An open handle with KEY_ALL_ACCESS.
  HKEY get() const { return key_; }
  // The key's path below HKEY_CURRENT_USER.
  const std::string& path() const { return path_; }
  // path() + "\\" + name
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
  HKEY key_ = nullptr;
};

// The folder given to this test program as its own (the configuration folder on
// Linux, the temporary folder on Windows), with a trailing separator.
std::string ScratchFolderOfProgram();

#endif
