// Registry keys and their handles as Win32 answers them: opening in any
// spelling, access masks, deletion under open handles, the predefined roots,
// key information, flushing, and enumeration while the key changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

TEST(Win32RegistryKeys, CreateOpensWhatExistsInAnySpellingAndAFailedOpenClearsTheHandle) {
  ScratchKey scratch;
  DWORD created = 0, opened = 0;
  HKEY deep = nullptr, again = nullptr, middle = nullptr, self = nullptr;
  // One key, its first spelling kept, below a key made on the way; a value
  // name's first spelling is kept too.
  EXPECT_EQ(
      (Rcs{0, 0, 0, 0, 0, 0, REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}),
      (Rcs{RegCreateKeyExA(scratch.get(), "Vendor\\Product", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deep, &created),
           RegCreateKeyExA(scratch.get(), "VENDOR\\product", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, &opened),
           SetText(deep, "Name", "value"), SetText(again, "NAME", "again"),
           RegOpenKeyExA(scratch.get(), "vendor", 0, KEY_READ, &middle), RegOpenKeyExA(deep, "", 0, KEY_READ, &self),
           LONG(created), LONG(opened)}));
  EXPECT_EQ((std::vector<std::string>{"Product"}), SubkeyNames(middle));
  EXPECT_EQ("Name=again", Entry(self, 0));
  EXPECT_EQ(ERROR_SUCCESS, ReadStored(self, "name").rc);
  for (HKEY key : {deep, again, middle, self}) EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  // A failed open clears the result; no key at all leaves it alone.
  HKEY key[4] = {HKEY_CURRENT_USER, HKEY_CURRENT_USER, HKEY_CURRENT_USER, HKEY_CURRENT_USER};
  EXPECT_EQ((Rcs{ERROR_INVALID_HANDLE, ERROR_BAD_PATHNAME, ERROR_FILE_NOT_FOUND, ERROR_INVALID_HANDLE,
                 ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE}),
            (Rcs{RegCloseKey(deep),
                 RegCreateKeyExA(scratch.get(), "\\Leading", 0, nullptr, 0, KEY_READ, nullptr, &self, nullptr),
                 RegOpenKeyExA(scratch.get(), "missing", 0, KEY_READ, &key[0]),
                 RegOpenKeyExA(deep, "", 0, KEY_READ, &key[1]), RegOpenKeyExA(nullptr, "", 0, KEY_READ, &key[2]),
                 RegCreateKeyExA(nullptr, "Software", 0, nullptr, 0, KEY_READ, nullptr, &key[3], nullptr)}));
  EXPECT_EQ((std::vector<HKEY>{nullptr, nullptr, HKEY_CURRENT_USER, HKEY_CURRENT_USER}),
            std::vector<HKEY>(key, key + 4));
}

TEST(Win32RegistryKeys, AccessMasksAreHonoured) {
  ScratchKey scratch;
  RegCloseKey(CreateKey(scratch.get(), "Locked\\existing"));
  HKEY reader = nullptr, writer = nullptr, child = nullptr;
  char name[16];
  DWORD size = 0;
  // Opening an existing key through the create call needs no right on the
  // parent; the handle has the access it asked for. (Wine lets a read-only
  // parent create a key: the storage-failure tests cover that on POSIX.)
  EXPECT_EQ((Rcs{0, 0, ERROR_ACCESS_DENIED, 0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, 0,
                 ERROR_ACCESS_DENIED, 0, 0}),
            (Rcs{RegOpenKeyExA(scratch.get(), "Locked", 0, KEY_READ, &reader),
                 RegOpenKeyExA(scratch.get(), "Locked", 0, KEY_WRITE, &writer), SetText(reader, "v", "x"),
                 SetText(writer, "v", "x"), RegDeleteValueA(reader, "v"),
                 RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size),
                 RegEnumKeyA(writer, 0, name, sizeof name), RegEnumKeyA(reader, 0, name, sizeof name),
                 RegNotifyChangeKeyValue(writer, FALSE, REG_NOTIFY_CHANGE_NAME, nullptr, FALSE),
                 RegCreateKeyExA(reader, "existing", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
                 SetText(child, "v", "y")}));
  for (HKEY key : {reader, writer, child}) RegCloseKey(key);
}

// A key with a subkey stays; a handle to a deleted key fails with
// KEY_DELETED, and a key made again under its name is a new one.
TEST(Win32RegistryKeys, DeletingKeysAndHandlesToThem) {
  ScratchKey scratch;
  HKEY root = scratch.get(), doomed = CreateKey(root, "Branch\\Leaf");
  ASSERT_EQ(ERROR_SUCCESS, SetText(doomed, "v", "x"));
  EXPECT_EQ((Rcs{ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER, ERROR_SUCCESS}),
            (Rcs{RegDeleteKeyA(root, "Branch"), RegDeleteKeyA(root, "Nothing"), RegDeleteKeyA(root, nullptr),
                 RegDeleteKeyA(root, "branch\\LEAF")}));
  HKEY reborn = CreateKey(root, "Branch\\Leaf");
  char name[16];
  DWORD size = 0, length = sizeof name;
  HKEY child = nullptr;
  EXPECT_EQ(Rcs(8, ERROR_KEY_DELETED),
            (Rcs{SetText(doomed, "v", "y"), RegQueryValueExA(doomed, "v", nullptr, nullptr, nullptr, &size),
                 RegDeleteValueA(doomed, "v"), RegEnumKeyA(doomed, 0, name, sizeof name),
                 RegEnumValueA(doomed, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                 RegCreateKeyExA(doomed, "c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
                 RegOpenKeyExA(doomed, "", 0, KEY_READ, &child),
                 RegNotifyChangeKeyValue(doomed, FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE)}));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadStored(reborn, "v").rc);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
  RegCloseKey(reborn);
}

TEST(Win32RegistryKeys, PredefinedKeysAreKnownByTheirLow32Bits) {
  ScratchKey scratch;
  ASSERT_EQ(ERROR_SUCCESS, SetText(scratch.get(), "v", "x"));
  ULONG_PTR low = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER));
  ULONG_PTR high = static_cast<ULONG_PTR>(0x1234ull << 32);  // none on 32-bit targets
  for (HKEY root : {reinterpret_cast<HKEY>(low), reinterpret_cast<HKEY>(low | high)}) {
    HKEY key = nullptr;
    EXPECT_EQ(Rcs(4, ERROR_SUCCESS), (Rcs{RegOpenKeyExA(root, scratch.path().c_str(), 0, KEY_READ, &key),
                                          ReadStored(key, "v").rc, RegCloseKey(key), RegCloseKey(root)}));
  }
}

TEST(Win32RegistryKeys, QueryInfoKeyCountsAndLongestLengths) {
  ScratchKey scratch;
  HKEY key = CreateKey(scratch.get(), "Info");
  RegCloseKey(CreateKey(key, "ab"));
  RegCloseKey(CreateKey(key, "abcdef"));
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, "xyz", REG_BINARY, "1234567", 7));
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, "longer-name", REG_BINARY, "12", 2));
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, nullptr, REG_BINARY, "1", 1));
  DWORD subkeys = 9, maxSubkey = 9, values = 9, maxName = 9, maxData = 9, classLength = 5;
  char className[8] = "xxxx";
  EXPECT_EQ((Rcs{ERROR_SUCCESS, 2, 6, 3, 11, 7, 0}),
            (Rcs{RegQueryInfoKeyA(key, className, &classLength, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                  &maxName, &maxData, nullptr, nullptr),
                 LONG(subkeys), LONG(maxSubkey), LONG(values), LONG(maxName), LONG(maxData), LONG(classLength)}));
  EXPECT_STREQ("", className);
  RegCloseKey(key);
}

TEST(Win32RegistryKeys, CurrentUserFlushAndDeleteKeyEx) {
  ScratchKey scratch;
  HKEY user = nullptr, key = nullptr;
  HKEY deleted = CreateKey(scratch.get(), "Flushed");
  RegCloseKey(CreateKey(scratch.get(), "Gone\\Leaf"));
  EXPECT_EQ(
      (Rcs{0, 0, 0, 0, 0, ERROR_INVALID_HANDLE, 0, ERROR_KEY_DELETED, ERROR_ACCESS_DENIED, 0, 0, ERROR_FILE_NOT_FOUND}),
      (Rcs{RegOpenCurrentUser(KEY_READ, &user), RegOpenKeyExA(user, scratch.path().c_str(), 0, KEY_READ, &key),
           RegFlushKey(key), RegCloseKey(key), RegCloseKey(user), RegFlushKey(key),
           RegDeleteKeyA(scratch.get(), "Flushed"), RegFlushKey(deleted),
           RegDeleteKeyExA(scratch.get(), "Gone", KEY_WOW64_32KEY, 0),
           RegDeleteKeyExA(scratch.get(), "Gone\\Leaf", KEY_WOW64_64KEY, 0),
           RegDeleteKeyExA(scratch.get(), "Gone", 0, 0), RegDeleteKeyExA(scratch.get(), "Gone", 0, 0)}));
  RegCloseKey(deleted);
}

TEST(Win32RegistryKeys, EnumerationIsSortedAndShortBuffersGetMoreData) {
  ScratchKey scratch;
  HKEY key = scratch.get();
  for (const char* name : {"delta", "Alpha", "charlie", "Bravo"}) RegCloseKey(CreateKey(key, name));
  EXPECT_EQ((std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}), SubkeyNames(key));
  char name[16];
  DWORD tooShort = 5, length = 6;  // "Alpha" needs 6 with its zero
  EXPECT_EQ((Rcs{ERROR_MORE_DATA, ERROR_SUCCESS, ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA, ERROR_SUCCESS, 5}),
            (Rcs{RegEnumKeyA(key, 0, name, 5), RegEnumKeyA(key, 0, name, 6), RegEnumKeyA(key, 4, name, sizeof name),
                 RegEnumKeyExA(key, 1, name, &tooShort, nullptr, nullptr, nullptr, nullptr),
                 RegEnumKeyExA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr), LONG(length)}));
  EXPECT_STREQ("Bravo", name);
  // A value's name and data each need room; a name that fits is not written either.
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, "Test", REG_SZ, "foobar", 7));
  struct Case {
    DWORD nameRoom, dataRoom;
    const char* expected;  // result/name length/data size/type/name/data
  } cases[] = {
      {2, 20, "234/2/7/1/foobar"}, {2, 3, "234/2/7/1/xxxxxxxxxx"}, {20, 2, "234/20/7/1/xxxxxxxxxx/xxxxxxxxxx"}};
  for (const Case& c : cases) {
    char valueName[20] = "xxxxxxxxxx", data[20] = "xxxxxxxxxx";
    DWORD nameLength = c.nameRoom, dataSize = c.dataRoom, type = 1234;
    LONG rc = RegEnumValueA(key, 0, valueName, &nameLength, nullptr, &type, (BYTE*)data, &dataSize);
    EXPECT_EQ(c.expected, std::to_string(rc) + "/" + std::to_string(nameLength) + "/" + std::to_string(dataSize) + "/" +
                              std::to_string(type) + (c.nameRoom > 4 ? "/" + std::string(valueName) : "") + "/" + data);
  }
}

// A key changed during a walk, through the walking handle or another: from then
// on each index must read as from a fresh handle. 100 values span several reads.
TEST(Win32RegistryKeys, EnumerationFollowsChangesBetweenCalls) {
  ScratchKey scratch;
  struct Case {
    const char* what;
    DWORD stopAt;  // the last index read before the change
    bool subkeys, sameHandle;
    std::function<LONG(HKEY)> change;
  };
  auto set = [](const char* name, const char* data) { return [=](HKEY key) { return SetText(key, name, data); }; };
  const Case cases[] = {
      {"a value before the next, same handle", 1, false, true, set("a", "new")},
      {"the last value deleted, same handle", 98, false, true, [](HKEY key) { return RegDeleteValueA(key, "v099"); }},
      {"a value already read deleted", 5, false, false, [](HKEY key) { return RegDeleteValueA(key, "v002"); }},
      {"data in a later read", 70, false, false, set("v071", "changed")},
      {"a value after the last", 99, false, false, set("v100", "new")},
      {"a subkey after the last", 2, true, false, [](HKEY key) { return RegCloseKey(CreateKey(key, "k3")); }},
      {"a subkey before the next", 0, true, true, [](HKEY key) { return RegDeleteKeyA(key, "k0"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HKEY walked = CreateKey(scratch.get(), c.what);
    for (int i = 0; i < 100; ++i) {
      char name[8];
      snprintf(name, sizeof name, "v%03d", i);
      ASSERT_EQ(ERROR_SUCCESS, SetText(walked, name, "old"));
    }
    for (const char* name : {"k0", "k1", "k2"}) RegCloseKey(CreateKey(walked, name));
    for (DWORD i = 0; i <= c.stopAt; ++i) ASSERT_NE('<', Entry(walked, i, c.subkeys)[0]) << "index " << i;
    HKEY other = c.sameHandle ? walked : CreateKey(scratch.get(), c.what);
    ASSERT_EQ(ERROR_SUCCESS, c.change(other));
    for (DWORD i : std::vector<DWORD>{c.stopAt + 1, c.stopAt + 2, c.stopAt + 4, 0, c.stopAt}) {
      HKEY fresh = CreateKey(scratch.get(), c.what);
      EXPECT_EQ(Entry(fresh, i, c.subkeys), Entry(walked, i, c.subkeys)) << "index " << i;
      RegCloseKey(fresh);
    }
    if (other != walked) RegCloseKey(other);
    RegCloseKey(walked);
  }
}

}  // namespace
