#ifndef KORVEX_TESTS_SUPPORT_PROFILE_FIXTURE_H
#define KORVEX_TESTS_SUPPORT_PROFILE_FIXTURE_H

// What the POSIX profile tests share: a scratch folder with a profile file in
// it, reading a value, ageing and listing files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

class ProfileFiles : public testing::Test {
protected:
  std::string Get(const char* section, const char* key, const std::string& file) {
    char buffer[256];
    DWORD length = GetPrivateProfileStringA(section, key, "<default>", buffer, sizeof buffer, file.c_str());
    return std::string(buffer, length);
  }
  std::string Get(const char* section, const char* key) { return Get(section, key, file_); }
  void Age(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
  std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
  }

  ScratchFolder scratch_;
  std::string file_ = scratch_ / "test.ini";
};

#endif
