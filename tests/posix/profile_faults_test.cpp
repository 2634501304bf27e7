// Profile files over storage that fails, and writers that die: this program
// defines write, fdatasync, rename and fsync itself, so the library's calls
// reach these first; an armed trap fails the next call of one of them with an
// errno, or kills the process there. The file is always the old one or the new
// one, whole.
#include <dlfcn.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

enum Call { kNone, kWrite, kDataSync, kRename, kSync };
enum Action { kFail, kKillBefore, kKillAfter };
struct Trap {
  Call call;
  Action action;
  int error;
};
Trap g_trap = {kNone, kFail, 0};

template <typename Function>
Function* Real(const char* name) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

// -1 with the trap's errno for a failure; kills for a crash, before the call or
// after it (after half of it for a write).
template <typename Run>
auto Trapped(Call call, Run run) -> decltype(run(false)) {
  if (g_trap.call != call) return run(false);
  g_trap.call = kNone;
  if (g_trap.action == kFail) return errno = g_trap.error, -1;
  if (g_trap.action == kKillAfter) run(true);
  raise(SIGKILL);
  return -1;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Real<ssize_t(int, const void*, size_t)>("write");
  return Trapped(kWrite, [&](bool half) { return real(fd, data, half ? size / 2 : size); });
}
extern "C" int fdatasync(int fd) {
  static auto real = Real<int(int)>("fdatasync");
  return Trapped(kDataSync, [&](bool) { return real(fd); });
}
extern "C" int fsync(int fd) {
  static auto real = Real<int(int)>("fsync");
  return Trapped(kSync, [&](bool) { return real(fd); });
}
extern "C" int rename(const char* from, const char* to) {
  static auto real = Real<int(const char*, const char*)>("rename");
  return Trapped(kRename, [&](bool) { return real(from, to); });
}

namespace {

std::string Bytes(const std::string& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

int FilesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.path().extension() != ".lock";
  return count;
}

// A profile with an old text, the text it has after the change, and the change.
struct Profile {
  explicit Profile(const ScratchFolder& scratch) : path(scratch / "p.ini") {
    const std::string big(20000, 'o');
    old = "[S]\r\nold=" + big + "\r\n";
    changed = old + "new=2\r\n";
    std::ofstream(path, std::ios::binary) << old;
  }
  static BOOL Change(const char* file) { return WritePrivateProfileStringA("S", "new", "2", file); }
  std::string path, old, changed;
};

// Every call's failure once, each errno once (one mapping serves them all). The
// folder's sync comes after the rename: the new file is in place, so a failure
// there is no failure of the call.
TEST(ProfileFaults, AFailedWriteFsyncOrRenameKeepsTheOldFileAndSaysWhy) {
  struct Case {
    Call call;
    int error;
    DWORD expected;  // ERROR_SUCCESS: the call succeeds
  } cases[] = {{kWrite, EIO, ERROR_IO_DEVICE},
               {kDataSync, ENOSPC, ERROR_DISK_FULL},
               {kRename, EDQUOT, ERROR_DISK_FULL},
               {kRename, EIO, ERROR_IO_DEVICE},
               {kSync, EIO, ERROR_SUCCESS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "call " << c.call << ", errno " << c.error);
    const bool replaced = c.expected == ERROR_SUCCESS;
    ScratchFolder scratch;
    Profile profile(scratch);
    g_trap = {c.call, kFail, c.error};
    SetLastError(0);
    EXPECT_EQ(replaced, Profile::Change(profile.path.c_str()) != FALSE);
    EXPECT_TRUE(replaced || GetLastError() == c.expected) << GetLastError();
    g_trap.call = kNone;
    EXPECT_EQ(replaced ? profile.changed : profile.old, Bytes(profile.path));
    EXPECT_EQ(1, FilesIn(scratch.path()));  // no temporary file left behind
    char value[8];
    EXPECT_EQ(replaced ? 1u : 0u, GetPrivateProfileStringA("S", "new", "", value, sizeof value, profile.path.c_str()));
  }
}

TEST(ProfileFaults, AWriterKilledAtEachStepLeavesTheOldOrTheNewFileWhole) {
  struct Case {
    const char* step;
    Trap trap;
    bool replaced;
  } cases[] = {
      {"half the temporary file written", {kWrite, kKillAfter, 0}, false},
      {"the temporary file written, not synced", {kDataSync, kKillBefore, 0}, false},
      {"the temporary file synced, not renamed", {kRename, kKillBefore, 0}, false},
      {"renamed, the folder not synced", {kRename, kKillAfter, 0}, true},
      {"while the folder syncs", {kSync, kKillBefore, 0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);  // and then the dead writer's lock is gone
    ScratchFolder scratch;
    Profile profile(scratch);
    Trap trap = c.trap;
    EXPECT_EQ(-1, RunInChild([&] {
      g_trap = trap;
      Profile::Change(profile.path.c_str());
      return 0;
    }));
    EXPECT_EQ(c.replaced ? profile.changed : profile.old, Bytes(profile.path));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "after", "1", profile.path.c_str()));
  }
}

}  // namespace
