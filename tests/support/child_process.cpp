#include "tests/support/child_process.h"

#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

const char kArgumentVariable[] = "KORVEX_TEST_CHILD_ARGUMENT";

const char kAlsoDisabled[] = "--gtest_also_run_disabled_tests";

}  // namespace

std::string ChildArgument() {
  const char* argument = getenv(kArgumentVariable);
  return argument ? argument : "";
}

#ifdef _WIN32

int RunInChild(const std::string& test, const std::string& argument) {
  char program[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, program, MAX_PATH)) return -1;
  SetEnvironmentVariableA(kArgumentVariable, argument.c_str());
  std::string commandLine = std::string("\"") + program + "\" --gtest_filter=" + test + " " + kAlsoDisabled;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started =
      CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kArgumentVariable, nullptr);
  if (!started) return -1;
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
    code = DWORD(-1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
}

#else

int RunInChild(const std::string& test, const std::string& argument) {
  std::string filter = "--gtest_filter=" + test;
  std::string variable = std::string(kArgumentVariable) + "=" + argument;
  std::string self = "/proc/self/exe";
  char* argv[] = {&self[0], &filter[0], const_cast<char*>(kAlsoDisabled), nullptr};
  std::vector<char*> environment;
  for (char** entry = environ; *entry; ++entry) environment.push_back(*entry);
  environment.push_back(&variable[0]);
  environment.push_back(nullptr);
  pid_t child;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environment.data()) != 0) return -1;
  return ChildExitCode(child);
}

bool BecomeNobody(gid_t group) {
  return geteuid() == 0 && setgroups(1, &group) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

void BecomeUnprivileged() {
  if (geteuid() == 0 && !BecomeNobody()) _exit(90);
}

int ChildExitCode(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

#endif
