// The profile files against another local user and against what is no plain
// file: the lock, who may write a file, FIFOs, the size bound and links in the
// folders of a path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/profile_fixture.h"

namespace {

// Far beyond what any call here takes, a full wait for the lock included: a
// call that hangs fails its case instead of the run.
constexpr unsigned kDeadlineSeconds = 60;
// A group that nobody is given in the cases of a file shared by a group.
constexpr gid_t kGroup = 4242;
constexpr char kNeedsRoot[] = "acting as another user (nobody) needs root";
// Reads go no further into a file, and writes make it no longer.
constexpr size_t kBound = 4 * 1024 * 1024;

class ProfileHardening : public ProfileFiles {
protected:
  void SetUp() override { ASSERT_EQ(0, chmod(scratch_.path().c_str(), 0777)); }
  // body()'s result in a child that the deadline kills (-1).
  template <typename Body>
  static int WithDeadline(Body body) {
    return RunInChild([&] {
      alarm(kDeadlineSeconds);
      return body();
    });
  }
  // 0 when the write fails with `error`, 1 when it succeeds, 2 for another error.
  static int Refused(const std::string& file, DWORD error) {
    if (WritePrivateProfileStringA("s", "k", "new", file.c_str())) return 1;
    return GetLastError() == error ? 0 : 2;
  }
};

// Whoever may open the lock may hold it and stop every writer: it is open to
// those who may write the file, kept so as the file's mode changes (a lock of
// an older writer, open to all, included).
TEST_F(ProfileHardening, OnlyWritersOfTheFileMayOpenItsLock) {
  if (geteuid() != 0) GTEST_SKIP() << kNeedsRoot;
  std::string file = file_, lock = file_ + ".lock";
  WriteFileBytes(lock, "");
  ASSERT_EQ(0, chmod(lock.c_str(), 0644));
  const std::tuple<mode_t, gid_t, mode_t, bool> cases[] = {{0644, kNobody, 0600, false},
                                                           {0664, kGroup, 0660, true},
                                                           {0664, kNobody, 0660, false},
                                                           {0666, kNobody, 0666, true}};
  for (const auto& [mode, group, lockMode, writer] : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << mode << " by a member of " << std::dec << group);
    WriteFileBytes(file_, "[s]\r\nk=1\r\n");
    ASSERT_EQ(0, chown(file_.c_str(), 0, kGroup));
    ASSERT_EQ(0, chmod(file_.c_str(), mode));
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "root", file_.c_str()));
    struct stat info;
    ASSERT_EQ(0, stat(lock.c_str(), &info));
    EXPECT_EQ(std::make_tuple(lockMode, kGroup), std::make_tuple(info.st_mode & 07777, info.st_gid));
    // Bit 0: nobody opened the lock; bit 1: nobody wrote the file.
    EXPECT_EQ(writer ? 3 : 0, WithDeadline([&] {
                if (!BecomeNobody(group)) return 4;
                return (open(lock.c_str(), O_RDONLY | O_NONBLOCK) >= 0) | (Refused(file, ERROR_ACCESS_DENIED) << 1);
              }));
  }
}

// A writer that hangs holding the lock costs the next one the whole wait (about
// ten seconds) and no more.
TEST_F(ProfileHardening, AWriteWaitsForAHeldLockOnlySoLong) {
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "old", file_.c_str()));
  std::string file = file_, lock = file_ + ".lock";
  int held[2];
  ASSERT_EQ(0, pipe(held));
  pid_t holder = StartChild([&] {
    int fd = open(lock.c_str(), O_RDONLY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(held[1], "x", 1) != 1) return 1;
    pause();
    return 0;
  });
  close(held[1]);
  char byte;
  EXPECT_EQ(1, read(held[0], &byte, 1));
  close(held[0]);
  EXPECT_EQ(0, WithDeadline([&] { return Refused(file, ERROR_SHARING_VIOLATION); }));
  kill(holder, SIGKILL);
  ChildExitCode(holder);
  EXPECT_EQ("old", Get("s", "k"));
  EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "new", file_.c_str()));
}

// Refused where writing the file itself would be: a file without its owner's
// write bit (the read-only attribute) even for root, as Windows refuses it to
// administrators; another user's file even in a folder anyone may write to.
TEST_F(ProfileHardening, AWriteIsRefusedWhereWritingTheFileWouldBe) {
  if (geteuid() != 0) GTEST_SKIP() << kNeedsRoot;
  const std::tuple<uid_t, mode_t, bool, bool> cases[] = {
      {kNobody, 0444, true, false}, {0, 0444, false, false}, {0, 0644, true, false}, {kNobody, 0644, true, true}};
  std::string file = file_;
  for (const auto& [owner, mode, asNobody, written] : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << mode << " of " << std::dec << owner
                                    << (asNobody ? " by nobody" : " by root"));
    WriteFileBytes(file_, "[s]\r\nk=old\r\n");
    ASSERT_EQ(0, chown(file_.c_str(), owner, owner));
    ASSERT_EQ(0, chmod(file_.c_str(), mode));
    EXPECT_EQ(written ? 1 : 0, WithDeadline([&] {
                if (asNobody && !BecomeNobody()) return 4;
                return Refused(file, ERROR_ACCESS_DENIED);
              }));
    struct stat info;
    ASSERT_EQ(0, stat(file_.c_str(), &info));
    EXPECT_EQ(std::make_tuple(written ? "new" : "old", owner), std::make_tuple(Get("s", "k"), info.st_uid));
  }
}

// A writer of the file who may not write its folder: the new file cannot be
// made beside the old one, so the write fails and the old one stays.
TEST_F(ProfileHardening, AWriteFailsWhereItsNewFileCannotBeMade) {
  if (geteuid() != 0) GTEST_SKIP() << kNeedsRoot;
  std::string folder = scratch_ / "closed", file = folder + "/p.ini";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  WriteFileBytes(file, "[s]\r\nk=old\r\n");
  WriteFileBytes(file + ".lock", "");
  for (const std::string& own : {file, file + ".lock"}) ASSERT_EQ(0, chown(own.c_str(), kNobody, kNobody));
  EXPECT_EQ(0, WithDeadline([&] { return BecomeNobody() ? Refused(file, ERROR_ACCESS_DENIED) : 4; }));
  EXPECT_EQ("old", Get("s", "k", file));
}

// A FIFO would block an open or a read for good; anything but a plain file,
// as the profile or as its lock, is refused at once.
TEST_F(ProfileHardening, WhatIsNoPlainFileIsRefusedWithoutBlocking) {
  std::string file = file_, lock = file_ + ".lock";
  for (const std::string& fifo : {file, lock}) {
    SCOPED_TRACE(fifo);
    for (const std::string& name : {file, lock}) remove(name.c_str());
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0666));
    EXPECT_EQ(0, WithDeadline([&] {
                SetLastError(0);
                bool read = Get("s", "k", file) == "<default>" && GetLastError() == ERROR_ACCESS_DENIED;
                return Refused(file, ERROR_ACCESS_DENIED) | (fifo == file && !read ? 4 : 0);
              }));
  }
}

// A read that meets the bound says so rather than give a cut value as whole;
// a write that would pass it fails. A file of exactly the bound is whole.
TEST_F(ProfileHardening, TheSizeBoundIsAnErrorAndNeverACutAnswer) {
  const std::string head = "[s]\r\nfirst=1\r\n";
  WriteFileBytes(file_, head + std::string(kBound - head.size() - 30000, '\n') + "k=" + std::string(60000, 'x') +
                            "\nafter=2\n[t]\nu=3\n");
  // The key cut by the bound, and what lies past it, read as missing and say so.
  const DWORD kCut = ERROR_FILE_TOO_LARGE;
  const std::tuple<const char*, const char*, const char*, DWORD> reads[] = {{"s", "first", "1", ERROR_SUCCESS},
                                                                            {"s", "k", "<default>", kCut},
                                                                            {"s", "after", "<default>", kCut},
                                                                            {"t", "u", "<default>", kCut},
                                                                            {nullptr, nullptr, "s", kCut}};
  for (const auto& [section, key, value, error] : reads) {
    SetLastError(0);
    std::string got = Get(section, key);
    EXPECT_EQ(std::make_tuple(std::string(value), error),
              std::make_tuple(got.substr(0, got.find('\0')), GetLastError()))
        << (key ? key : "names");
  }
  char bytes[2];
  EXPECT_FALSE(GetPrivateProfileStructA("t", "u", bytes, 2, file_.c_str()));
  EXPECT_EQ((DWORD)ERROR_FILE_TOO_LARGE, GetLastError());

  // Blank lines, then the section's first key: the file grows by the key's line.
  std::string before = "[s]\r\n";
  while (before.size() < kBound - 60005) before += "\r\n";
  for (size_t length : {60002, 60001}) {
    WriteFileBytes(file_, before);
    SetLastError(0);
    const bool fits = before.size() + length + 4 <= kBound;
    EXPECT_EQ(fits, WritePrivateProfileStringA("s", "k", std::string(length, 'v').c_str(), file_.c_str())) << length;
    EXPECT_EQ(fits ? (DWORD)ERROR_SUCCESS : (DWORD)ERROR_FILE_TOO_LARGE, GetLastError()) << length;
    EXPECT_EQ(fits ? kBound : before.size(), ReadFileBytes(file_).size()) << length;
  }
  // Exactly the bound, its last byte in the value, read from the disk.
  WriteFileBytes(file_, before + "k=" + std::string(kBound - before.size() - 2, 'v'));
  SetLastError(0);
  EXPECT_EQ(std::string(255, 'v'), Get("s", "k"));
  EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError());
}

// A link planted by another user in a sticky folder anyone may write to is
// not followed anywhere in the path, the folders included.
TEST_F(ProfileHardening, LinksInEveryFolderOfThePathFollowTheSharedFolderRule) {
  if (geteuid() != 0) GTEST_SKIP() << kNeedsRoot;
  std::string shared = scratch_ / "shared", victim = scratch_ / "victim";
  ASSERT_EQ(0, mkdir(shared.c_str(), 0777));
  ASSERT_EQ(0, chmod(shared.c_str(), 01777));
  ASSERT_EQ(0, mkdir(victim.c_str(), 0755));
  ASSERT_EQ(0, symlink(shared.c_str(), (scratch_ / "to-shared").c_str()));
  const std::tuple<uid_t, std::string, bool> cases[] = {{kNobody, shared + "/dir/app.ini", true},
                                                        {kNobody, scratch_ / "to-shared/dir/sub/../app.ini", true},
                                                        {0, shared + "/dir/app.ini", false}};
  for (const auto& [owner, path, refused] : cases) {
    SCOPED_TRACE(path + " through a link of " + std::to_string(owner));
    WriteFileBytes(victim + "/app.ini", "[s]\r\nk=old\r\n");
    mkdir((victim + "/sub").c_str(), 0755);
    remove((shared + "/dir").c_str());
    ASSERT_EQ(0, symlink(victim.c_str(), (shared + "/dir").c_str()));
    ASSERT_EQ(0, lchown((shared + "/dir").c_str(), owner, owner));
    EXPECT_EQ(refused ? 0 : 1, Refused(path, ERROR_ACCESS_DENIED));
    EXPECT_EQ(refused ? "old" : "new", Get("s", "k", victim + "/app.ini"));
  }
}

}  // namespace
