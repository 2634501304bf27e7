// What another local user can do to a user's registry: plant files beside a hive
// in a folder they share, hold locks on the files they may read, and what a
// damaged change signal does. Acting as another user needs root: a child
// becomes nobody.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include <string>

#include "korvex/platform.h"
#include "korvex/posix/transactions.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

#define SKIP_UNLESS_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "acting as another user (nobody) needs root"

LONG CreateSoftware(HKEY root) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (key) RegCloseKey(key);
  return rc;
}

// Shared as /tmp is: anyone may add a name, only its owner remove it.
std::string StickyFolder(const ScratchFolder& scratch, const std::string& name) {
  std::string folder = scratch / name;
  EXPECT_EQ(0, mkdir(folder.c_str(), 0700));
  EXPECT_EQ(0, chmod(folder.c_str(), 01777));
  return folder;
}

// Any file of a hive that another user made, or any link, is refused before
// SQLite reads it: a planted log would be copied into the user's own hive.
TEST(RegistryOtherUsers, FilesPlantedBesideAHiveAreRefused) {
  SKIP_UNLESS_ROOT();
  ScratchFolder scratch;
  struct Case {
    HKEY root;
    const char* name;
    bool hiveMade;  // the user's own hive is there already
    bool link;      // a link of the user's own, else another user's file
  } cases[] = {{HKEY_CURRENT_USER, "user.db", false, false},
               {HKEY_CURRENT_USER, "user.db", false, true},
               {HKEY_CURRENT_USER, "user.db-wal", true, false},
               {HKEY_CURRENT_USER, "user.db-shm", true, false},
               {HKEY_CURRENT_USER, "user.db-journal", true, false},
               {HKEY_CURRENT_USER, "user.db-writes", false, false},
               {HKEY_LOCAL_MACHINE, "machine.db", false, false},
               {HKEY_LOCAL_MACHINE, "machine.db-writes", true, false},
               {HKEY_LOCAL_MACHINE, "machine.db-work", false, true},
               {HKEY_LOCAL_MACHINE, "machine.db-work-journal", true, false}};
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.link ? ", a link" : ", another user's"));
    std::string folder = StickyFolder(scratch, std::to_string(round++)), planted = folder + "/" + c.name;
    setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
    if (c.hiveMade) {
      ASSERT_EQ(0, RunInChild([&] { return static_cast<int>(CreateSoftware(c.root)); }));
    }
    remove(planted.c_str());  // as an older version removed it on closing
    if (c.link) {
      ASSERT_EQ(0, symlink((scratch / "elsewhere").c_str(), planted.c_str()));
    } else {
      WriteFileBytes(planted, "");
      ASSERT_EQ(0, chmod(planted.c_str(), 0666));
      ASSERT_EQ(0, chown(planted.c_str(), kNobody, kNobody));
    }
    EXPECT_EQ(ERROR_ACCESS_DENIED, CreateSoftware(c.root));
  }
}

// Everyone may read the machine hive; holding every lock its files allow them
// (as an open SQLite read would, for as long as they like) delays no write, and
// a transaction over both hives commits both.
TEST(RegistryOtherUsers, ReadersOfTheMachineHiveHoldNoWriterOff) {
  SKIP_UNLESS_ROOT();
  ScratchFolder scratch;
  ASSERT_EQ(ERROR_SUCCESS, SetText(HKEY_LOCAL_MACHINE, "v", "1"));
  int ready[2], release[2];
  ASSERT_EQ(0, pipe(ready));
  ASSERT_EQ(0, pipe(release));
  pid_t holder = StartChild([&] {
    BecomeUnprivileged();
    close(release[1]);
    for (const char* name : {"machine.db", "machine.db-writes"}) {
      struct flock all = {};
      all.l_type = F_RDLCK;
      all.l_whence = SEEK_SET;
      int fd = open((scratch / name).c_str(), O_RDONLY);
      if (fd < 0 || fcntl(fd, F_SETLK, &all) != 0) return 1;
    }
    char byte = 'x';
    if (write(ready[1], &byte, 1) != 1) return 2;
    return static_cast<int>(read(release[0], &byte, 1));  // until the test ends
  });
  close(ready[1]);
  close(release[0]);
  char byte;
  ASSERT_EQ(1, read(ready[0], &byte, 1)) << "the holder did not take its locks";

  EXPECT_EQ(ERROR_SUCCESS, SetText(HKEY_LOCAL_MACHINE, "v", "2"));
  HANDLE transaction = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  HKEY user = nullptr, machine = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyTransactedA(HKEY_CURRENT_USER, "", 0, KEY_ALL_ACCESS, &user, transaction, nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyTransactedA(HKEY_LOCAL_MACHINE, "", 0, KEY_ALL_ACCESS, &machine, transaction, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, SetText(user, "t", "both"));
  EXPECT_EQ(ERROR_SUCCESS, SetText(machine, "t", "both"));
  EXPECT_TRUE(CommitTransaction(transaction));
  for (HANDLE handle : {user, machine}) RegCloseKey(static_cast<HKEY>(handle));
  CloseHandle(transaction);
  close(release[1]);
  EXPECT_EQ(0, ChildExitCode(holder));

  EXPECT_EQ("t=both;", TreeAt(HKEY_CURRENT_USER, ""));
  // Another user reads what was written, at once.
  EXPECT_EQ(0, RunInChild([] {
              BecomeUnprivileged();
              return TreeAt(HKEY_LOCAL_MACHINE, "") == "t=both;v=2;" ? 0 : 1;
            }));
}

// The change signal beside a hive is refused, never mapped, when it is of the
// wrong size or kind; one its owner may not write lets no write through
// uncounted, where other processes would trust what they read before it. An
// older version's, which holds the two counts alone, is grown.
TEST(RegistryOtherUsers, ADamagedChangeSignalIsRefused) {
  ScratchFolder scratch;
  struct Case {
    const char* damage;
    off_t cutTo;  // the size the file is cut to, 0 for another damage
    LONG read, write;
  } cases[] = {{"cut short", 5, ERROR_BADDB, ERROR_BADDB},
               {"a FIFO", 0, ERROR_CANTOPEN, ERROR_CANTOPEN},
               {"read-only", 0, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
               {"an older version's", 16, ERROR_SUCCESS, ERROR_SUCCESS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    std::string folder = scratch / c.damage, signal = folder + "/user.db-writes";
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    if (geteuid() == 0) {
      ASSERT_EQ(0, chown(folder.c_str(), kNobody, kNobody));
    }
    EXPECT_EQ(0, RunInChild([&] {
                BecomeUnprivileged();
                setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
                if (RunInChild([] { return static_cast<int>(CreateSoftware(HKEY_CURRENT_USER)); }) != 0) return 1;
                std::string damage = c.damage;
                if (c.cutTo              ? truncate(signal.c_str(), c.cutTo) != 0
                    : damage == "a FIFO" ? remove(signal.c_str()) != 0 || mkfifo(signal.c_str(), 0600) != 0
                                         : chmod(signal.c_str(), 0400) != 0)
                  return 2;
                HKEY key = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) != c.read) return 3;
                if (SetText(HKEY_CURRENT_USER, "v", "x") != c.write) return 4;
                bool written = RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, nullptr) == 0;
                return written == (c.write == ERROR_SUCCESS) ? 0 : 5;
              }));
  }
}

// The writers' line is a lock any process of the user's holds for a moment; one
// that holds it for good (stopped, say) delays a write that must line up, by
// about as long as a busy hive would, and no longer.
TEST(RegistryOtherUsers, AWriterWaitsInLineForABoundedTime) {
  ScratchFolder scratch;
  ASSERT_EQ(0, RunInChild([] { return static_cast<int>(SetText(HKEY_CURRENT_USER, "v", "1")); }));
  int line = open((scratch / "user.db-writes").c_str(), O_RDWR);
  ASSERT_GE(line, 0);
  // A writer that died between its two counts: every later one lines up.
  uint64_t begun = 0;
  ASSERT_EQ(8, pread(line, &begun, 8, 0));
  ++begun;
  ASSERT_EQ(8, pwrite(line, &begun, 8, 0));
  struct flock first = {};
  first.l_type = F_WRLCK;
  first.l_whence = SEEK_SET;
  first.l_len = 1;
  ASSERT_EQ(0, fcntl(line, F_OFD_SETLK, &first));
  pid_t writer = StartChild([] { return static_cast<int>(SetText(HKEY_CURRENT_USER, "v", "2")); });
  EXPECT_EQ(0, ChildExitCode(writer)) << "the write still waits after a minute";
  close(line);
}

}  // namespace
