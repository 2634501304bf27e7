// The POSIX profile files: their format on disk, where they live, who may read
// them, links, the cache of parsed files, and writers that fail or die.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/profile_fixture.h"
#include "tests/support/scratch_registry.h"

// The library's write, fdatasync, rename and fsync reach these first: an armed
// trap fails the next call of one with an errno, or kills the process there.
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

// A file that the writers below change by adding "new=2"; long, so that a
// write of it can stop halfway.
const std::string kOld = "[S]\r\nold=" + std::string(20000, 'o') + "\r\n", kChanged = kOld + "new=2\r\n";

class Profile : public ProfileFiles {};

TEST_F(Profile, WritesEditInPlaceAndDelete) {
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "First", "1", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "Second", "2", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Tail", "t", "x", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("MAIN", " first ", "one", file_.c_str()));
  EXPECT_EQ("[Main]\r\nFirst=one\r\nSecond=2\r\n[Tail]\r\nt=x\r\n", ReadFileBytes(file_));

  // A comment and a blank line stay put; new keys go after the section's last key.
  WriteFileBytes(file_, "; keep me\r[Main]\nFirst=one\n\n[Tail]\nt=x\n");
  ASSERT_TRUE(WritePrivateProfileStringA("main", "Added", "3", file_.c_str()));
  EXPECT_EQ("; keep me\r\n[Main]\r\nFirst=one\r\nAdded=3\r\n\r\n[Tail]\r\nt=x\r\n", ReadFileBytes(file_));
  ASSERT_TRUE(WritePrivateProfileStringA("main", nullptr, nullptr, file_.c_str()));
  EXPECT_EQ("; keep me\r\n[Tail]\r\nt=x\r\n", ReadFileBytes(file_));
  EXPECT_EQ((std::set<std::string>{"test.ini", "test.ini.lock"}), Listing(scratch_.path()));
}

TEST_F(Profile, PathsWithoutFolderAndWithBackslashes) {
  // A bare name lives in the application data folder, which is made private on first write.
  char path[MAX_PATH];
  EXPECT_EQ(S_FALSE, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path));  // not there yet
  EXPECT_EQ(scratch_ / "config", path);
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "bare", "bare.ini"));
  EXPECT_EQ("[S]\r\nk=bare\r\n", ReadFileBytes(scratch_ / "config/korvex/bare.ini"));
  EXPECT_EQ("bare", Get("S", "k", "bare.ini"));
  struct stat folder;
  ASSERT_EQ(0, stat((scratch_ / "config/korvex").c_str(), &folder));
  EXPECT_EQ(0700u, folder.st_mode & 0777);

  mkdir((scratch_ / "sub").c_str(), 0755);
  std::string windowsStyle = scratch_.path() + "\\sub\\win.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "slashed", windowsStyle.c_str()));
  EXPECT_EQ("[S]\r\nk=slashed\r\n", ReadFileBytes(scratch_ / "sub/win.ini"));
  // A relative XDG_CONFIG_HOME does not count: ~/.config is used.
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", scratch_.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path));
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(scratch_ / ".config", path);
}

// A replacement keeps mode, owner and group; a file its writer cannot read is not
// written (as root reads everything, its owner, an ordinary user, writes it).
TEST_F(Profile, ReplacementKeepsModeOwnerAndGroupOfAFileItCanRead) {
  const bool root = geteuid() == 0;
  const uid_t other = root ? kNobody : geteuid();  // only root may give files away
  struct Case {
    mode_t mode;
    uid_t owner;
    gid_t group;
    bool written;
  } cases[] = {{0664, geteuid(), getegid(), true}, {0640, other, other, true}, {0200, other, other, false}};
  std::string file = file_;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    WriteFileBytes(file_, "[s]\r\nk=1\r\n");
    ASSERT_EQ(0, chown(scratch_.path().c_str(), c.owner, c.group));
    ASSERT_EQ(0, chown(file_.c_str(), c.owner, c.group));
    ASSERT_EQ(0, chmod(file_.c_str(), c.mode));
    EXPECT_EQ(0, RunInChild([&] {
                if (!c.written && root && !BecomeNobody()) return 3;
                if (WritePrivateProfileStringA("s", "k", "2", file.c_str())) return c.written ? 0 : 1;
                return !c.written && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 2;
              }));
    struct stat info;
    ASSERT_EQ(0, stat(file_.c_str(), &info));
    EXPECT_EQ(std::make_tuple(c.mode, c.owner, c.group),
              std::make_tuple(info.st_mode & 07777, info.st_uid, info.st_gid));
    EXPECT_EQ(c.written ? "2" : "1", Get("s", "k"));
  }
}

// Links someone else could plant are not followed: beside the file, where a
// temporary's name is chosen anew but the lock's is fixed, and in a shared
// sticky folder, where only the caller's own link is followed.
TEST_F(Profile, PlantedLinksAreNotFollowed) {
  std::string victim = scratch_ / "victim", shared = scratch_ / "shared", planted = shared + "/app.ini";
  mkdir(shared.c_str(), 0777);
  chmod(shared.c_str(), 01777);
  struct Case {
    std::string link;
    bool victimExists;
    uid_t owner;  // 0: the caller
    bool refused;
  } cases[] = {{file_ + ".tmp", true, 0, false},
               {file_ + ".tmp", false, 0, false},  // nothing is created through it either
               {file_ + ".lock", true, 0, true},
               {planted, true, kNobody, true},
               {planted, true, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link + (c.owner ? " of another user" : ""));
    if (c.owner && geteuid() != 0) continue;  // only root can give a link away
    for (const std::string& name : {file_, victim, c.link}) remove(name.c_str());
    if (c.victimExists) WriteFileBytes(victim, "[s]\r\nk=mine\r\n");
    ASSERT_EQ(0, symlink(victim.c_str(), c.link.c_str()));
    ASSERT_EQ(0, lchown(c.link.c_str(), c.owner ? c.owner : geteuid(), c.owner ? c.owner : getegid()));
    const bool followed = c.link == planted && !c.refused;
    SetLastError(0);
    EXPECT_EQ(c.refused,
              !WritePrivateProfileStringA("s", "k", "planted", (c.link == planted ? planted : file_).c_str()));
    EXPECT_TRUE(c.link != planted || GetLastError() == (c.refused ? ERROR_ACCESS_DENIED : 0u)) << GetLastError();
    EXPECT_EQ(c.victimExists ? followed ? "[s]\r\nk=planted\r\n" : "[s]\r\nk=mine\r\n" : "", ReadFileBytes(victim));
    EXPECT_EQ(c.victimExists, std::filesystem::exists(victim));
  }
}

TEST_F(Profile, AFileReachedThroughLinksIsReplacedWhereItLies) {
  mkdir((scratch_ / "real").c_str(), 0755);
  std::string target = scratch_ / "real/target.ini";
  WriteFileBytes(target, "[s]\nold=1\n");
  symlink("real/target.ini", (scratch_ / "link.ini").c_str());
  symlink(file_.c_str(), (scratch_ / "chain.ini").c_str());
  symlink((scratch_ / "link.ini").c_str(), file_.c_str());
  symlink("real/later.ini", (scratch_ / "dangling.ini").c_str());
  for (const char* name : {"link.ini", "chain.ini", "test.ini", "dangling.ini"}) {
    ASSERT_TRUE(WritePrivateProfileStringA("s", name, "v", (scratch_ / name).c_str())) << name;
    EXPECT_TRUE(std::filesystem::is_symlink(scratch_ / name)) << name;
  }
  EXPECT_EQ("[s]\r\nold=1\r\nlink.ini=v\r\nchain.ini=v\r\ntest.ini=v\r\n", ReadFileBytes(target));
  EXPECT_EQ("[s]\r\ndangling.ini=v\r\n", ReadFileBytes(scratch_ / "real/later.ini"));
  // Every name of one file locks the same lock file.
  EXPECT_EQ((std::set<std::string>{"chain.ini", "dangling.ini", "link.ini", "real", "test.ini"}),
            Listing(scratch_.path()));
  EXPECT_EQ((std::set<std::string>{"later.ini", "later.ini.lock", "target.ini", "target.ini.lock"}),
            Listing(scratch_ / "real"));
}

TEST_F(Profile, AFreshFileRewrittenUnderTheSameTimeIsReadAgain) {
  // Coarse file times can show a change with the old time, size and inode: made so by hand, with a
  // time not yet reached so the file stays fresh. A relative name is not watched: its identity must tell.
  std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(0, chdir(scratch_.path().c_str()));
  for (const std::string& file : {file_, std::string("./test.ini")}) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 3600, 0}};
    WriteFileBytes(file_, "[s]\nk=1\n");
    ASSERT_EQ(0, utimensat(AT_FDCWD, file_.c_str(), times, 0));
    ASSERT_EQ("1", Get("s", "k", file)) << file;
    { std::fstream(file_, std::ios::in | std::ios::out) << "[s]\nk=2\n"; }
    ASSERT_EQ(0, utimensat(AT_FDCWD, file_.c_str(), times, 0));
    EXPECT_EQ("2", Get("s", "k", file)) << file;
  }
  ASSERT_EQ(0, chdir(cwd.c_str()));
}

TEST_F(Profile, ThreadsReadWhileAnotherWrites) {
  // More settled files than the cache keeps: entries found, added and pushed out by several threads.
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) {
    files.push_back(scratch_ / ("settled" + std::to_string(i) + ".ini"));
    WriteFileBytes(files.back(), "[s]\nk=" + std::to_string(i) + "\n");
    Age(files.back(), 3600);
  }
  WriteFileBytes(file_, "[s]\nk=a\n");
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t)
    readers.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        size_t which = static_cast<size_t>(i + t) % files.size();
        bool settled = i % 3 != 0;
        std::string value = Get("s", "k", settled ? files[which] : file_);
        if (settled ? value != std::to_string(which) : value != "a" && value != "bb") ++wrong;
      }
    });
  for (int i = 0; i < 30; ++i) EXPECT_TRUE(WritePrivateProfileStringA("s", "k", i % 2 ? "a" : "bb", file_.c_str()));
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(0, wrong.load());
}

TEST_F(Profile, TemporariesOfAKilledWriterAreRemovedByTheNextWrite) {
  // The first is what a writer killed before its rename left, aged; the second is a write under
  // way, the last ones the user's own files that look like temporaries.
  ASSERT_EQ(-1, RunInChild([&] {
    g_trap = {kRename, kKillBefore, 0};
    return static_cast<int>(WritePrivateProfileStringA("s", "k", "v", file_.c_str()));
  }));
  std::string left;
  for (const std::string& name : Listing(scratch_.path()))
    if (name.rfind("test.ini.korvex-", 0) == 0) left = name;
  const std::string names[] = {left, "test.ini.korvex-e5f6g7h8.tmp", "other.ini.korvex-a1b2c3d4.tmp",
                               "test.ini.korvex-A1B2C3D4.tmp", "test.ini.BACKUP-1.tmp", "test.ini.2024 Jan.tmp"};
  for (const std::string& name : names) {
    if (name != left) WriteFileBytes(scratch_ / name, "[s]\r\n");
    Age(scratch_ / name, name == names[1] ? 0 : 120);
  }
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", file_.c_str()));
  for (const std::string& name : names) EXPECT_EQ(name == left, !std::filesystem::exists(scratch_ / name)) << name;
}

TEST_F(Profile, LongLinesAndFilesAreReadOnlyAsFarAsTheBound) {
  // 64 KiB of a line, 4 MiB of a file: more is not read, and not written over.
  struct Case {
    std::string content;
    size_t valueLength;
  } cases[] = {{"[s]\nk=" + std::string(1 << 20, 'x') + "\nj=1\n", 65534},
               {"[s]\nk=" + std::string(60000, 'x') + "\n" + std::string(5 << 20, '\n') + "j=1\n", 60000}};
  for (const Case& c : cases) {
    WriteFileBytes(file_, c.content);
    std::vector<char> buffer(2 << 20);
    EXPECT_EQ(c.valueLength, GetPrivateProfileStringA("s", "k", "", buffer.data(), buffer.size(), file_.c_str()));
    EXPECT_EQ(c.valueLength == 65534 ? "1" : "<default>", Get("s", "j"));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "n", "2", file_.c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_TOO_LARGE, GetLastError());
    EXPECT_EQ(c.content, ReadFileBytes(file_));
  }
}

// Windows writes win.ini without a file name; here it is refused. A bad struct
// sets Windows' codes (Wine gives others) and leaves the caller's buffer alone.
TEST_F(Profile, WhatWindowsAnswersOddlyIsRefusedWithACode) {
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", nullptr));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
  char value[8];
  SetLastError(0);
  EXPECT_EQ(1u, GetPrivateProfileStringA("s", "k", "d", value, sizeof value, nullptr));  // a read gets the default
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
  WriteFileBytes(file_, "[s]\nk=01ABFF10BB\nsum=01ABFF10BC\nodd=01ABFF10B\n");
  // The wrong checksum is bad data; every other row a text of the wrong length.
  const std::pair<std::string, UINT> cases[] = {{"k", 3}, {"k", 5}, {"odd", 4}, {"missing", 4}, {"sum", 4}};
  for (const auto& [key, size] : cases) {
    unsigned char read[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    SetLastError(0);
    EXPECT_FALSE(GetPrivateProfileStructA("s", key.c_str(), read, size, file_.c_str()));
    EXPECT_EQ(key == "sum" ? ERROR_INVALID_DATA : ERROR_BAD_LENGTH, (int)GetLastError()) << key << " " << size;
    EXPECT_EQ(std::string(8, 9), std::string(read, read + 8)) << key;
  }
}

// Each call failing (each errno once: one mapping serves them all) or a writer
// killed at each step: the file is the old one or the new one, whole, and a
// failure says why. The folder's sync comes after the rename: the new file is in
// place, so a failure there is no failure of the call.
TEST_F(Profile, AFailedOrKilledWriteLeavesTheOldOrTheNewFileWhole) {
  struct Case {
    Trap trap;
    DWORD error;  // of a failed call
    bool replaced;
  } cases[] = {{{kWrite, kFail, EIO}, ERROR_IO_DEVICE, false},
               {{kDataSync, kFail, ENOSPC}, ERROR_DISK_FULL, false},
               {{kRename, kFail, EDQUOT}, ERROR_DISK_FULL, false},
               {{kRename, kFail, EIO}, ERROR_IO_DEVICE, false},
               {{kSync, kFail, EIO}, ERROR_SUCCESS, true},
               {{kWrite, kKillAfter, 0}, 0, false},  // half the temporary file written
               {{kDataSync, kKillBefore, 0}, 0, false},
               {{kRename, kKillBefore, 0}, 0, false},
               {{kRename, kKillAfter, 0}, 0, true},
               {{kSync, kKillBefore, 0}, 0, true}};
  std::string file = file_;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "call " << c.trap.call << ", action " << c.trap.action);
    WriteFileBytes(file_, kOld);
    Age(file_, 3600);  // long settled, so this process keeps what it parsed
    ASSERT_EQ("<default>", Get("S", "new"));
    auto write = [&] {
      g_trap = c.trap;
      return WritePrivateProfileStringA("S", "new", "2", file.c_str()) != FALSE;
    };
    if (c.trap.action == kFail) {
      SetLastError(0);
      EXPECT_EQ(c.replaced, write());
      EXPECT_TRUE(c.replaced || GetLastError() == c.error) << GetLastError();
      g_trap.call = kNone;
      EXPECT_EQ((std::set<std::string>{"test.ini", "test.ini.lock"}), Listing(scratch_.path()));  // no temporary
    } else {
      EXPECT_EQ(-1, RunInChild([&] { return write() ? 0 : 1; }));
    }
    EXPECT_EQ(c.replaced ? kChanged : kOld, ReadFileBytes(file_));
    EXPECT_EQ(c.replaced ? "2" : "<default>", Get("S", "new"));
    EXPECT_TRUE(WritePrivateProfileStringA("S", "after", "1", file_.c_str()));  // no lock is left
  }
}

}  // namespace
