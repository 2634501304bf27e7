// The POSIX registry: hives, their files and folders, sizes, and other processes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/shell.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

TEST(Registry, HivesTheirFilesAndWhatTheyRefuse) {
  ScratchFolder scratch;
  HKEY user = CreateKey(HKEY_CURRENT_USER, "Shared"), machine = CreateKey(HKEY_LOCAL_MACHINE, "Shared");
  SetText(user, "who", "user");
  SetText(machine, "who", "machine");
  EXPECT_EQ("who=user", Entry(user, 0));
  EXPECT_EQ("who=machine", Entry(machine, 0));
  EXPECT_TRUE(std::filesystem::exists(scratch / "user.db") && std::filesystem::exists(scratch / "machine.db"));
  HKEY refused = nullptr;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &refused));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(HKEY_USERS, "x", 0, KEY_READ, &refused));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SHDeleteKeyA(HKEY_CURRENT_USER, ""));  // a hive keeps its root
  // Sizes past what the store holds are refused before the data is read.
  const BYTE small[8] = {};
  for (DWORD type : {REG_BINARY, REG_SZ})
    for (DWORD size : {0x80000004u, 0xFFFFFFFFu, 1000000000u}) {
      EXPECT_EQ(ERROR_CANTWRITE, RegSetValueExA(user, "big", 0, type, small, size)) << type << "/" << size;
      EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(user, "big", nullptr, nullptr, nullptr, nullptr));
    }
  // A copy into its own subtree copies the tree as it was, not again and again.
  HKEY inner = CreateKey(user, "Sub\\Inner"), copy = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCopyTreeA(user, nullptr, inner));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(inner, "Sub\\Inner", 0, KEY_READ, &copy));
  EXPECT_EQ("<259>", Entry(copy, 0, true));
  EXPECT_EQ("who=user", Entry(inner, 0));
  // In its default home, the user hive is private whatever the umask.
  unsetenv("KORVEX_REGISTRY_DIR");
  mode_t old = umask(022);
  HKEY secret = CreateKey(HKEY_CURRENT_USER, "Secret");
  ASSERT_EQ(ERROR_SUCCESS, SetText(secret, "password", "x"));
  umask(old);
  for (std::string name : {"", "/user.db", "/user.db-wal", "/user.db-shm", "/user.db-writes"}) {
    struct stat info;
    ASSERT_EQ(0, stat((scratch / "config/korvex" + name).c_str(), &info)) << name;
    EXPECT_EQ(name.empty() ? 0700u : 0600u, info.st_mode & 0777) << name;
  }
  // Opened to others since (a copy, an older version): the next process closes it again.
  std::string hive = scratch / "config/korvex/user.db";
  ASSERT_EQ(0, chmod(hive.c_str(), 0644));
  EXPECT_EQ(0, RunInChild([] { return static_cast<int>(SetText(HKEY_CURRENT_USER, "again", "x")); }));
  struct stat info;
  EXPECT_TRUE(stat(hive.c_str(), &info) == 0 && (info.st_mode & 0777) == 0600);
  for (HKEY key : {user, machine, inner, copy, secret}) RegCloseKey(key);
}

// Older versions wrote the machine hive in place, where it is now published: a
// writer takes it over whole, and its readers go on reading it until then. The
// folder's name holds what a URI would read otherwise.
TEST(Registry, MachineHiveOfAnOlderVersionIsTakenOver) {
  ScratchFolder scratch;
  std::string folder = scratch / "a%41?b#c";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
  ASSERT_EQ(0, RunInChild([] { return static_cast<int>(SetText(HKEY_LOCAL_MACHINE, "old", "kept")); }));
  ASSERT_EQ(0, remove((folder + "/machine.db-work").c_str()));
  auto reads = [](const char* tree) {
    return RunInChild([&] {
      BecomeUnprivileged();
      return TreeAt(HKEY_LOCAL_MACHINE, "") == tree ? 0 : 1;
    });
  };
  EXPECT_EQ(0, reads("old=kept;"));
  // What a writer that died while publishing left is no one else's file.
  WriteFileBytes(folder + "/machine.db-next", "left");
  ASSERT_EQ(ERROR_SUCCESS, SetText(HKEY_LOCAL_MACHINE, "new", "1"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/machine.db-next"));
  EXPECT_EQ("new=1;old=kept;", TreeAt(HKEY_LOCAL_MACHINE, ""));
  EXPECT_EQ(0, reads("new=1;old=kept;"));
}

// A walk on one handle sees what another process, also one that reached the hive
// by another name, wrote between two calls; a wait on the key wakes. Both hives,
// as each has its own change signal.
TEST(Registry, ChangesOfAnotherProcessWakeWaitsAndRefreshEnumerations) {
  ScratchFolder scratch;
  std::string name = scratch.path().substr(scratch.path().rfind('/') + 1);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = CreateKey(root, "Walked");
    for (int i = 0; i < 100; ++i)
      ASSERT_EQ(ERROR_SUCCESS, SetText(key, ("v" + std::to_string(100 + i)).c_str(), "old"));
    for (std::string round : {"1", "2"}) {
      std::string folder = round == "1" ? scratch.path() : scratch / "../" + name;
      SCOPED_TRACE(folder + (root == HKEY_CURRENT_USER ? " user" : " machine"));
      RegCloseKey(CreateKey(key, "Pair\\Child"));
      ASSERT_EQ("Pair=", Entry(key, 0, true));
      for (DWORD i = 0; i < 3; ++i) ASSERT_NE('<', Entry(key, i)[0]);
      HANDLE names = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_NAME, names, TRUE));
      ASSERT_EQ(0, RunInChild([&] {
                  setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
                  HKEY child = nullptr;
                  if (RegOpenKeyExA(root, "Walked", 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS) return 1;
                  // The subtree's sum of name counts stays as it was.
                  if (SHDeleteKeyA(child, "Pair") != ERROR_SUCCESS ||
                      SetText(child, "v103", ("new" + round).c_str()) != ERROR_SUCCESS ||
                      RegDeleteValueA(child, "v100") != ERROR_SUCCESS)
                    return 2;
                  return SetText(child, "v100", ("back" + round).c_str()) == ERROR_SUCCESS ? 0 : 3;
                }));
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(names, 10000));
      EXPECT_EQ("v103=new" + round, Entry(key, 3));
      EXPECT_EQ("v100=back" + round, Entry(key, 0));
      EXPECT_EQ("<259>", Entry(key, 0, true));
      CloseHandle(names);
    }
    RegCloseKey(key);
  }
}

// A folder that someone else may change, or a folder above it, could have its
// hive swapped: it is refused before anything is made in it, for both hives.
TEST(Registry, HiveFolderOthersControlIsRefused) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    mode_t mode, parentMode;
    uid_t owner;  // 0: this user
    bool link;
    LONG expected;
  } cases[] = {{"private", 0700, 0755, 0, false, ERROR_SUCCESS},
               {"link", 0700, 0755, 0, true, ERROR_ACCESS_DENIED},
               {"group-writable", 0770, 0755, 0, false, ERROR_ACCESS_DENIED},
               {"world-writable, sticky", 01777, 0755, 0, false, ERROR_SUCCESS},
               {"another user's", 0755, 0755, 65534, false, ERROR_ACCESS_DENIED},
               {"in a folder others may write", 0700, 0777, 0, false, ERROR_ACCESS_DENIED},
               {"in a sticky folder", 0700, 01777, 0, false, ERROR_SUCCESS}};
  for (const Case& c : cases) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      SCOPED_TRACE(c.name);
      if (c.owner && geteuid() != 0) continue;  // only root can give a folder away
      std::string parent = scratch / c.name, folder = parent + "/hives", real = parent + "/real";
      std::filesystem::remove_all(parent);
      ASSERT_EQ(0, mkdir(parent.c_str(), 0700));
      ASSERT_EQ(0, mkdir(real.c_str(), 0700));
      ASSERT_EQ(0, chmod(real.c_str(), c.mode));
      ASSERT_EQ(0, chown(real.c_str(), c.owner ? c.owner : geteuid(), getegid()));
      ASSERT_EQ(0, c.link ? symlink(real.c_str(), folder.c_str()) : rename(real.c_str(), folder.c_str()));
      ASSERT_EQ(0, chmod(parent.c_str(), c.parentMode));
      setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
      HKEY key = nullptr;
      EXPECT_EQ(c.expected, RegCreateKeyExA(root, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
      if (key) RegCloseKey(key);
      std::string hive = folder + (root == HKEY_CURRENT_USER ? "/user.db" : "/machine.db");
      EXPECT_EQ(c.expected == ERROR_SUCCESS, std::filesystem::exists(hive));
    }
  }
}

// Where Win32 names a right for a call, the layer asks for it (Wine does not).
TEST(Registry, CallsNeedTheRightsWin32Names) {
  ScratchKey scratch;
  HKEY setter = nullptr, reader = nullptr, created = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch.get(), "", 0, KEY_SET_VALUE, &setter));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch.get(), "", 0, KEY_READ, &reader));
  DWORD values = 0;
  const LONG denied = ERROR_ACCESS_DENIED;
  EXPECT_EQ((std::vector<LONG>{denied, denied, denied, denied, denied}),
            (std::vector<LONG>{RegQueryInfoKeyA(setter, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                                nullptr, nullptr, nullptr, nullptr),
                               RegDeleteTreeA(setter, nullptr), RegCopyTreeA(setter, nullptr, scratch.get()),
                               RegCopyTreeA(scratch.get(), nullptr, reader),
                               RegCreateKeyExA(reader, "sub", 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr)}));
  RegCloseKey(setter);
  RegCloseKey(reader);
}

// A watch is refused before any wait: no change named, an unknown flag, no
// event to signal, a handle that is no event. (Wine takes the first two and
// calls the third an invalid handle.)
TEST(Registry, NotifyRefusesWhatCannotBeWatched) {
  ScratchKey scratch;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr), closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(closed);
  const DWORD set = REG_NOTIFY_CHANGE_LAST_SET;
  EXPECT_EQ((Rcs{ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, ERROR_INVALID_HANDLE}),
            (Rcs{RegNotifyChangeKeyValue(scratch.get(), FALSE, 0, event, TRUE),
                 RegNotifyChangeKeyValue(scratch.get(), FALSE, set | 0x100, event, TRUE),
                 RegNotifyChangeKeyValue(scratch.get(), FALSE, set, nullptr, TRUE),
                 RegNotifyChangeKeyValue(scratch.get(), FALSE, set, closed, TRUE)}));
  CloseHandle(event);
}

// Ended watches keep a few descriptors for the next ones, and no more.
TEST(Registry, EndedWatchesKeepFewDescriptors) {
  ScratchKey scratch;
  auto open = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = open();
  std::vector<HANDLE> events(20);
  for (HANDLE& event : events) {
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(scratch.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
  }
  for (HANDLE event : events) CloseHandle(event);
  EXPECT_LE(open() - before, 8);
}

}  // namespace
