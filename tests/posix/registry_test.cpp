// The POSIX registry: hives, their files and folders, sizes, other processes and change signals.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/posix/registry_scratch.h"

namespace {

class Registry : public testing::Test {
protected:
  HKEY Create(HKEY parent, const char* name, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, disposition));
    return key;
  }
  LONG Open(HKEY parent, const char* name, REGSAM access, HKEY* key) {
    return RegOpenKeyExA(parent, name, 0, access, key);
  }
  LONG SetText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), (DWORD)strlen(text));
  }
  LONG SetNumber(HKEY key, const char* name, DWORD number) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  std::string Text(HKEY key, const char* name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
      return "<missing>";
    return buffer;
  }
  std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    return names;
  }

  ScratchFolder scratch_;
};

TEST_F(Registry, CreateReportsDispositionAndMakesIntermediateKeys) {
  DWORD disposition = 0;
  HKEY deep = Create(HKEY_CURRENT_USER, "Software\\Vendor\\Product", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
  HKEY again = Create(HKEY_CURRENT_USER, "SOFTWARE\\vendor\\PRODUCT", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
  // Both handles address one key.
  ASSERT_EQ(ERROR_SUCCESS, SetText(deep, "Name", "value"));
  EXPECT_EQ("value", Text(again, "name"));

  HKEY middle = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, "software\\VENDOR", KEY_READ, &middle));
  EXPECT_EQ(std::vector<std::string>{"Product"}, SubkeyNames(middle));
  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(HKEY_CURRENT_USER, "Software\\Vendor\\Other", KEY_READ, &missing));
  EXPECT_EQ(ERROR_BAD_PATHNAME, Open(HKEY_CURRENT_USER, "\\Software", KEY_READ, &missing));

  // An empty name opens the key itself again.
  HKEY self = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, Open(deep, "", KEY_READ, &self));
  EXPECT_EQ("value", Text(self, "NAME"));
  for (HKEY key : {deep, again, middle, self}) EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(deep));
  EXPECT_TRUE(std::filesystem::exists(scratch_ / "user.db"));
}

TEST_F(Registry, HivesAreSeparateAndOnlyTwoExist) {
  HKEY user = Create(HKEY_CURRENT_USER, "Shared");
  HKEY machine = Create(HKEY_LOCAL_MACHINE, "Shared");
  SetText(user, "who", "user");
  SetText(machine, "who", "machine");
  EXPECT_EQ("user", Text(user, "who"));
  EXPECT_EQ("machine", Text(machine, "who"));
  EXPECT_TRUE(std::filesystem::exists(scratch_ / "machine.db"));
  HKEY refused = nullptr;
  EXPECT_EQ(ERROR_INVALID_HANDLE, Open(HKEY_CLASSES_ROOT, "x", KEY_READ, &refused));
  EXPECT_EQ(ERROR_INVALID_HANDLE, Open(HKEY_USERS, "x", KEY_READ, &refused));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SHDeleteKeyA(HKEY_CURRENT_USER, ""));  // a hive keeps its root
  RegCloseKey(user);
  RegCloseKey(machine);
}

TEST_F(Registry, ValuesKeepTypeBytesAndFirstSpelling) {
  HKEY key = Create(HKEY_CURRENT_USER, "Values");
  const BYTE binary[] = {0, 1, 0, 255, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Bin", 0, REG_BINARY, binary, sizeof binary));
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, "Text", "hello"));
  ASSERT_EQ(ERROR_SUCCESS, SetNumber(key, "Number", 0xFFFFFFFEu));
  const char multi[] = "one\0two\0";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, (const BYTE*)multi, sizeof multi));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Empty", 0, REG_NONE, nullptr, 0));

  struct Expect {
    const char* name;
    DWORD type;
    std::string bytes;
  };
  DWORD number = 0xFFFFFFFEu;
  for (const Expect& e :
       {Expect{"bin", REG_BINARY, std::string((const char*)binary, sizeof binary)},
        Expect{"TEXT", REG_SZ, std::string("hello", 6)},  // the terminator added
        Expect{"number", REG_DWORD, std::string((const char*)&number, 4)},
        Expect{"multi", REG_MULTI_SZ, std::string(multi, sizeof multi)}, Expect{"empty", REG_NONE, ""}}) {
    SCOPED_TRACE(e.name);
    DWORD type = 99, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, e.name, nullptr, &type, nullptr, &size));
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.bytes.size(), size);
    std::vector<BYTE> data(size + 4, 0xAA);
    size = (DWORD)data.size();
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, e.name, nullptr, &type, data.data(), &size));
    EXPECT_EQ(e.bytes, std::string((const char*)data.data(), size));
  }

  // A second spelling overwrites the value and keeps the first one's name.
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, "TEXT", "again"));
  char name[32];
  DWORD length = sizeof name;
  std::vector<std::string> names;
  for (DWORD i = 0;
       length = sizeof name, RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i)
    names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"Bin", "Empty", "Multi", "Number", "Text"}), names);
  EXPECT_EQ("again", Text(key, "text"));
  RegCloseKey(key);
}

TEST_F(Registry, QuerySizesAndDefaultValue) {
  HKEY key = Create(HKEY_CURRENT_USER, "Query");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, nullptr, "default"));
  EXPECT_EQ("default", Text(key, ""));
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, "", "changed"));
  EXPECT_EQ("changed", Text(key, nullptr));

  char buffer[8];
  DWORD size = 3, type = 0;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE*)buffer, &size));
  EXPECT_EQ(8u, size);
  size = 8;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE*)buffer, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE*)buffer, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "absent", nullptr, &type, nullptr, &size));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr));

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, ""));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, nullptr));
  RegCloseKey(key);
}

TEST_F(Registry, UserHiveIsPrivate) {
  unsetenv("KORVEX_REGISTRY_DIR");
  mode_t old = umask(022);
  HKEY key = Create(HKEY_CURRENT_USER, "Secret");
  ASSERT_EQ(ERROR_SUCCESS, SetText(key, "password", "x"));
  umask(old);
  struct {
    std::string path;
    mode_t mode;
  } expected[] = {{scratch_ / "config/korvex", 0700},
                  {scratch_ / "config/korvex/user.db", 0600},
                  {scratch_ / "config/korvex/user.db-wal", 0600},
                  {scratch_ / "config/korvex/user.db-shm", 0600},
                  {scratch_ / "config/korvex/user.db-writes", 0600}};
  for (const auto& e : expected) {
    struct stat info;
    ASSERT_EQ(0, stat(e.path.c_str(), &info)) << e.path;
    EXPECT_EQ(e.mode, info.st_mode & 0777) << e.path;
  }
  RegCloseKey(key);
}

// Sizes past what the store holds are refused before the data is read: the
// buffers here are far smaller than the sizes given.
TEST_F(Registry, ValuesTooLargeForTheStoreAreRefused) {
  HKEY key = Create(HKEY_CURRENT_USER, "Large");
  const BYTE small[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (DWORD type : {REG_BINARY, REG_SZ}) {
    for (DWORD size : {0x80000004u, 0xFFFFFFFFu, 1000000000u}) {
      SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(size));
      EXPECT_EQ(ERROR_CANTWRITE, RegSetValueExA(key, "big", 0, type, small, size));
      EXPECT_EQ("<missing>", Text(key, "big"));
    }
  }
  RegCloseKey(key);
}

TEST_F(Registry, CopyIntoItsOwnSubtreeCopiesTheTreeAsItWas) {
  HKEY source = Create(HKEY_CURRENT_USER, "Src");
  HKEY inner = Create(source, "Sub\\Inner");
  ASSERT_EQ(ERROR_SUCCESS, SetText(source, "v", "top"));
  ASSERT_EQ(ERROR_SUCCESS, RegCopyTreeA(source, nullptr, inner));
  HKEY copy = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, Open(inner, "Sub\\Inner", KEY_READ, &copy));
  EXPECT_TRUE(SubkeyNames(copy).empty());
  EXPECT_EQ("top", Text(inner, "v"));
  for (HKEY key : {source, inner, copy}) RegCloseKey(key);
}

// A walk on one handle must see what another process wrote between two calls,
// also a process that reached the hive by another name (its own mapping of the
// files beside the hive); that process sees what this one wrote.
TEST_F(Registry, EnumerationSeesWritesOfAnotherProcessBetweenCalls) {
  HKEY key = Create(HKEY_CURRENT_USER, "Walked");
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ERROR_SUCCESS, SetText(key, ("v" + std::to_string(100 + i)).c_str(), "old"));
  auto value = [&](DWORD index) {
    char name[16] = {}, data[16] = {};
    DWORD length = sizeof name, size = sizeof data;
    LONG rc = RegEnumValueA(key, index, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    return rc == ERROR_SUCCESS ? std::string(name) + "=" + data : "<" + std::to_string(rc) + ">";
  };
  for (std::string round : {"1", "2"}) {
    std::string name = scratch_.path().substr(scratch_.path().rfind('/') + 1);
    std::string folder = round == "1" ? scratch_.path() : scratch_ / "../" + name;
    SCOPED_TRACE(folder);
    for (DWORD i = 0; i < 3; ++i) ASSERT_NE('<', value(i)[0]);
    ASSERT_EQ(0, RunInChild([&] {
                setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
                HKEY child = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, "Walked", 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS) return 1;
                if (SetText(child, "v103", ("new" + round).c_str()) != ERROR_SUCCESS ||
                    RegDeleteValueA(child, "v100") != ERROR_SUCCESS)
                  return 2;
                return SetText(child, "v100", ("back" + round).c_str()) == ERROR_SUCCESS ? 0 : 3;
              }));
    EXPECT_EQ("v103=new" + round, value(3));
    EXPECT_EQ("v100=back" + round, value(0));
  }
  RegCloseKey(key);
}

// A folder that someone else may change could have its hive swapped: it is
// refused before anything is made in it, for both hives.
TEST_F(Registry, HiveFolderOthersControlIsRefused) {
  struct Case {
    const char* name;
    mode_t mode;
    uid_t owner;  // 0: this user
    bool link;
    LONG expected;
  } cases[] = {{"private", 0700, 0, false, ERROR_SUCCESS},
               {"link", 0700, 0, true, ERROR_ACCESS_DENIED},
               {"group-writable", 0770, 0, false, ERROR_ACCESS_DENIED},
               {"world-writable", 0777, 0, false, ERROR_ACCESS_DENIED},
               {"world-writable, sticky", 01777, 0, false, ERROR_SUCCESS},
               {"another user's", 0755, 65534, false, ERROR_ACCESS_DENIED}};
  for (const Case& c : cases) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      SCOPED_TRACE(c.name);
      if (c.owner && geteuid() != 0) continue;  // only root can give a folder away
      std::string folder = scratch_ / c.name, real = folder + "-real";
      std::filesystem::remove_all(folder);
      std::filesystem::remove_all(real);
      ASSERT_EQ(0, mkdir(real.c_str(), 0700));
      ASSERT_EQ(0, chmod(real.c_str(), c.mode));
      ASSERT_EQ(0, chown(real.c_str(), c.owner ? c.owner : geteuid(), getegid()));
      ASSERT_EQ(0, c.link ? symlink(real.c_str(), folder.c_str()) : rename(real.c_str(), folder.c_str()));
      setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
      HKEY key = nullptr;
      EXPECT_EQ(c.expected, RegCreateKeyExA(root, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
      if (key) RegCloseKey(key);
      std::string hive = folder + (root == HKEY_CURRENT_USER ? "/user.db" : "/machine.db");
      EXPECT_EQ(c.expected == ERROR_SUCCESS, std::filesystem::exists(hive));
    }
  }
  setenv("KORVEX_REGISTRY_DIR", scratch_.path().c_str(), 1);
}

// Another user finds root's hive there but closed to them.
TEST_F(Registry, AnotherUsersHiveIsRefusedNotMissing) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to become another user";
  for (mode_t folderMode : {0755, 0700}) {
    SCOPED_TRACE(folderMode);
    ASSERT_EQ(0, chmod(scratch_.path().c_str(), folderMode));
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(0, RunInChild([] {
                HKEY key = nullptr;
                if (setgid(65534) != 0 || setuid(65534) != 0) return 1;
                return RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) == ERROR_ACCESS_DENIED ? 0 : 2;
              }));
  }
}

// A change made in another process wakes the waits and refreshes the
// enumerations of this one, in both hives. Deleting a key that has a subkey
// leaves the subtree's sum of name counts as it was: it is seen all the same.
TEST_F(Registry, ChangesOfAnotherProcessWakeWaitsAndRefreshEnumerations) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    SCOPED_TRACE(root == HKEY_CURRENT_USER ? "user" : "machine");
    HKEY top = Create(root, "Watched");
    RegCloseKey(Create(top, "Pair\\Child"));
    ASSERT_EQ(ERROR_SUCCESS, SetText(top, "v", "old"));
    auto first = [&] {
      char name[16] = {}, data[16] = {};
      DWORD length = sizeof name, size = sizeof data;
      LONG rc = RegEnumValueA(top, 0, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
      return rc == ERROR_SUCCESS ? std::string(name) + "=" + data : "<" + std::to_string(rc) + ">";
    };
    ASSERT_EQ((std::vector<std::string>{"Pair"}), SubkeyNames(top));
    ASSERT_EQ("v=old", first());
    HANDLE names = CreateEventA(nullptr, TRUE, FALSE, nullptr), values = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(top, TRUE, REG_NOTIFY_CHANGE_NAME, names, TRUE));
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(top, FALSE, REG_NOTIFY_CHANGE_LAST_SET, values, TRUE));
    ASSERT_EQ(
        0, RunInChild([root] {
          HKEY key = nullptr;
          if (RegOpenKeyExA(root, "Watched", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 1;
          if (SHDeleteKeyA(key, "Pair") != ERROR_SUCCESS) return 2;
          return RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("new"), 4) == ERROR_SUCCESS ? 0 : 3;
        }));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(names, 10000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(values, 10000));
    EXPECT_TRUE(SubkeyNames(top).empty());
    EXPECT_EQ("v=new", first());
    // Waiting needs KEY_NOTIFY.
    HKEY writer = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, Open(root, "Watched", KEY_WRITE, &writer));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegNotifyChangeKeyValue(writer, FALSE, REG_NOTIFY_CHANGE_NAME, names, TRUE));
    for (HANDLE event : {names, values}) CloseHandle(event);
    for (HKEY key : {top, writer}) RegCloseKey(key);
  }
}

}  // namespace
