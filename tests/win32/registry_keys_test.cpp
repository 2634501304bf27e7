// Registry keys and their handles as Win32 answers them, where the seeded
// transcript does not reach: opening in any spelling, access masks, the
// predefined roots, flushing, and enumeration while the key changes.
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
