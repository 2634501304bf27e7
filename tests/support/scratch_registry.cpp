#include "tests/support/scratch_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "platform/shell.h"

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" + std::to_string(counter++);
}

// Created on first use, removed when the program ends.
class ProgramFolder {
public:
  ProgramFolder() : path_(std::filesystem::temp_directory_path() / ("korvex-tests-" + UniqueName())) {
    std::filesystem::create_directories(path_ / "config");
    SetEnvironment("KORVEX_REGISTRY_DIR", path_.string());
    SetEnvironment("XDG_CONFIG_HOME", (path_ / "config").string());
  }
  ~ProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string path() const { return path_.string() + "/"; }

private:
  std::filesystem::path path_;
};

ProgramFolder& TheProgramFolder() {
  static ProgramFolder folder;
  return folder;
}

}  // namespace

std::string ScratchFolderOfProgram() { return TheProgramFolder().path(); }

ScratchKey::ScratchKey() {
  TheProgramFolder();
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  path_ = "Software\\korvex-tests\\" + UniqueName() + "-" + (test ? test->name() : "scratch");
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key_, nullptr));
}

ScratchKey::~ScratchKey() {
  if (key_) RegCloseKey(key_);
  SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
}
