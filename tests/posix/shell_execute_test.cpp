// What ShellExecuteA promises on POSIX beyond the Win32 behaviour the shared
// suites check: the started program is detached from the caller, and the
// results when it cannot start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <tuple>

#include "korvex/platform.h"
#include "tests/support/recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

typedef std::vector<std::string> Args;

INT_PTR Start(const char* verb, const std::string& file, const char* parameters, const char* directory = NULL) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, verb, file.c_str(), parameters, directory, SW_SHOWNORMAL));
}

std::string WriteFile(const std::string& name, const std::string& content, mode_t mode) {
  std::string path = ScratchFolderOfProgram() + name;
  std::ofstream(path) << content;
  chmod(path.c_str(), mode);
  return path;
}

}  // namespace

TEST(ShellExecuteA, TheProgramGetsNoDescriptorOfTheCaller) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);  // inheritable: no O_CLOEXEC
  // A program that lives on while we look: the pipe's write end would keep it open.
  ASSERT_GT(Start(NULL, "/bin/sleep", "30"), 32);
  close(pipeEnds[1]);
  fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
  char byte;
  EXPECT_EQ(read(pipeEnds[0], &byte, 1), 0) << "the program holds the caller's descriptor";
  close(pipeEnds[0]);
}

TEST(ShellExecuteA, LeavesNoZombie) {
  Recording recording;
  ASSERT_GT(Start(NULL, RecorderPath(), NULL), 32);  // NULL parameters: no arguments
  ASSERT_EQ(recording.Wait(), std::optional<Args>(Args{}));
  // Once it has ended, no child of any kind is left waiting to be reaped.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (siginfo_t info{}; waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0; info = {}) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "a zombie stays";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(ShellExecuteA, FailuresGiveWin32ShellResults) {
  const std::string script = WriteFile("plain-script", "touch " + ScratchFolderOfProgram() + "ran\n", 0755);
  const std::string tooLong(200000, 'x');  // one argument past what the kernel takes
  // Each row: the verb, the file, the parameters, the working folder, the result.
  const std::tuple<const char*, std::string, const char*, const char*, INT_PTR> cases[] = {
      {NULL, ScratchFolderOfProgram() + "no-folder/missing", "", NULL, SE_ERR_FNF},
      {NULL, "korvex-no-such-program-anywhere", "", NULL, SE_ERR_FNF},
      {NULL, "", "", NULL, SE_ERR_FNF},
      {NULL, WriteFile("not-executable", "x", 0644), "", NULL, SE_ERR_ACCESSDENIED},
      {NULL, ScratchFolderOfProgram(), "", NULL, SE_ERR_ACCESSDENIED},
      // No "#!" line: Windows runs no such file, and no shell may either.
      {NULL, script, "", NULL, ERROR_BAD_FORMAT},
      {"print", RecorderPath(), "", NULL, SE_ERR_NOASSOC},
      {NULL, RecorderPath(), "", "/no/such/folder", SE_ERR_PNF},
      {NULL, RecorderPath(), tooLong.c_str(), NULL, SE_ERR_OOM},
  };
  for (const auto& [verb, file, parameters, directory, result] : cases) {
    SCOPED_TRACE(file);
    SetLastError(0);
    EXPECT_EQ(Start(verb, file, parameters, directory), result);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(result));
  }
  EXPECT_FALSE(std::filesystem::exists(ScratchFolderOfProgram() + "ran"));
}

TEST(ShellExecuteA, FindsBareNamesInPathAndRelativeOnesInTheWorkingFolder) {
  const std::string folder = FolderOfThisProgram(), saved = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", ("/nonexistent:" + folder).c_str(), 1);
  const std::string working = std::filesystem::current_path();
  std::filesystem::current_path("/");  // the program's folder only through PATH
  Recording byName;
  EXPECT_GT(Start("open", "record_args", "by-name"), 32);
  std::filesystem::current_path(working);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(byName.Wait(), std::optional<Args>(Args{"by-name"}));
  Recording relative;
  EXPECT_GT(Start("OPEN", ".\\record_args", "relative", folder.c_str()), 32);
  EXPECT_EQ(relative.Wait(), std::optional<Args>(Args{"relative"}));
}

// The started program is reaped in the background. A fork made while it runs
// holds a copy of what watches it, so the reaper must not take that for a new
// end and close, again and again, a number the caller has since reused.
TEST(ShellExecuteA, ReapingClosesNoDescriptorOfTheCaller) {
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  ASSERT_GT(Start(NULL, "/bin/sleep", "0.2"), 32);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    close(release[1]);
    char byte;
    (void)!read(release[0], &byte, 1);
    _exit(0);
  }
  // Well past the program's end, every descriptor opened stays open.
  close(release[0]);
  std::vector<int> opened;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  bool allOpen = true;
  while (allOpen && std::chrono::steady_clock::now() < until) {
    opened.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
    for (int fd : opened) allOpen = allOpen && fcntl(fd, F_GETFD) != -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(allOpen) << "a descriptor was closed behind our back";
  for (int fd : opened) close(fd);
  close(release[1]);
  waitpid(holder, NULL, 0);
}
