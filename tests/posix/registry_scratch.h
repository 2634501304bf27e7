#ifndef KORVEX_TESTS_POSIX_REGISTRY_SCRATCH_H
#define KORVEX_TESTS_POSIX_REGISTRY_SCRATCH_H

// A fresh folder per test that holds the hives (KORVEX_REGISTRY_DIR) and the
// user's configuration folder (XDG_CONFIG_HOME); removed afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchFolder {
public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    path_ = testing::TempDir() + "korvex-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
            (test ? test->name() : "scratch");
    std::filesystem::remove_all(path_);
    mkdir(path_.c_str(), 0755);
    setenv("KORVEX_REGISTRY_DIR", path_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
    unsetenv("KORVEX_REGISTRY_DIR");
    unsetenv("XDG_CONFIG_HOME");
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Runs a function in a child process and gives its exit code (-1 when it died).
template <typename Body>
int RunInChild(Body body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif
