#include "tests/support/child_process.h"

#ifdef _WIN32
#  include <windows.h>
#else
#  include <signal.h>
#  include <spawn.h>
#  include <stdlib.h>
#  include <sys/wait.h>
#  include <unistd.h>

#  include <chrono>
#  include <thread>

extern char** environ;
#endif

namespace {

std::string FilterFlag(const std::string& test) { return "--gtest_filter=" + test; }

const char kAlsoDisabled[] = "--gtest_also_run_disabled_tests";

}  // namespace

#ifdef _WIN32

int RunTestInChild(const std::string& test, const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  char program[MAX_PATH];
  if (!GetModuleFileNameA(NULL, program, MAX_PATH)) return -1;
  std::string line = "\"" + std::string(program) + "\" " + FilterFlag(test) + " " + kAlsoDisabled;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

#else

int RunTestInChild(const std::string& test, const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
  std::string filter = FilterFlag(test);
  char* argv[] = {const_cast<char*>("child"), &filter[0], const_cast<char*>(kAlsoDisabled), nullptr};
  pid_t child;
  if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif
