// The registry calls as Win32 answers them: string terminators, short buffers,
// handles, and the calls beyond open/set/query/enumerate.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

// The results of a sequence of calls, in order (a braced list runs its calls in order).
using Rcs = std::vector<LONG>;

LONG SetBytes(HKEY key, const char* name, DWORD type, const char* data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data), size);
}

// The stored size and bytes of a value, read into a buffer twice its size.
struct Stored {
  LONG rc;
  DWORD type, size;
  std::string bytes;
};

Stored Query(HKEY key, const char* name) {
  Stored stored{0, 0, 0, {}};
  stored.rc = RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &stored.size);
  if (stored.rc != ERROR_SUCCESS) return stored;
  std::vector<BYTE> buffer(stored.size * 2 + 2);
  DWORD size = static_cast<DWORD>(buffer.size());
  stored.rc = RegQueryValueExA(key, name, nullptr, &stored.type, buffer.data(), &size);
  stored.bytes.assign(reinterpret_cast<char*>(buffer.data()), size);
  return stored;
}

// Key "Src" with a value, a default value and a subkey "Sub" with a value.
void MakeSource(HKEY parent) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(parent, "Src", "v", REG_SZ, "one", 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(parent, "Src\\Sub", "deep", REG_BINARY, "\x01\x02", 2));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(parent, "Src", REG_SZ, "default", 0));
}

// A value read through RegGetValueA, or "<error>".
std::string Text(HKEY parent, const char* subKey, const char* name) {
  char buffer[64] = {};
  DWORD size = sizeof buffer;
  LONG rc = RegGetValueA(parent, subKey, name, RRF_RT_ANY, nullptr, buffer, &size);
  return rc == ERROR_SUCCESS ? std::string(buffer, size) : "<" + std::to_string(rc) + ">";
}

TEST(Win32Registry, CreateOpensWhatExistsInAnySpellingAndAFailedOpenClearsTheHandle) {
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
  EXPECT_EQ(ERROR_SUCCESS, Query(self, "name").rc);
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

TEST(Win32Registry, DefaultValueAndQuerySizes) {
  ScratchKey scratch;
  HKEY key = scratch.get();
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, nullptr, REG_SZ, "default", 8));
  EXPECT_EQ(std::string("default\0", 8), Query(key, "").bytes);  // NULL and "" name it alike
  BYTE buffer[8];
  DWORD size = 3, type = 0;
  // The buffer's size is read before the type (3) is written over it.
  DWORD number = 0x01020304, read = 0, both = 4;
  EXPECT_EQ((Rcs{ERROR_MORE_DATA, 8, ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
                 ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_SUCCESS, 0x01020304}),
            (Rcs{RegQueryValueExA(key, "", nullptr, &type, buffer, &size), LONG(size),
                 RegQueryValueExA(key, "", nullptr, &type, buffer, &size),
                 RegQueryValueExA(key, nullptr, nullptr, &type, buffer, nullptr),
                 RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr),
                 RegQueryValueExA(key, "absent", nullptr, &type, nullptr, &size), RegDeleteValueA(key, ""),
                 RegDeleteValueA(key, nullptr), SetBytes(key, "n", REG_BINARY, (const char*)&number, 4),
                 RegQueryValueExA(key, "n", nullptr, &both, (BYTE*)&read, &both), LONG(read)}));
}

TEST(Win32Registry, StringsGetTheTerminatorTheLengthLeftOut) {
  ScratchKey scratch;
  const char text[] = "ThisNeverBreaks";  // 15 characters
  struct Case {
    DWORD type, given, stored;
  } cases[] = {
      {REG_SZ, 15, 16},       {REG_EXPAND_SZ, 15, 16},
      {REG_MULTI_SZ, 15, 16}, {REG_SZ, 16, 16},  // the terminator counted already
      {REG_SZ, 4, 4},                            // "This" followed by more text: nothing added
      {REG_BINARY, 15, 15},                      // not a string
      {REG_SZ, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.given));
    ASSERT_EQ(ERROR_SUCCESS, SetBytes(scratch.get(), "v", c.type, text, c.given));
    Stored stored = Query(scratch.get(), "v");
    EXPECT_EQ(std::to_string(c.stored) + ":" + std::string(text, c.stored),
              std::to_string(stored.size) + ":" + stored.bytes);
  }
}

TEST(Win32Registry, UnterminatedStringsReadBackTerminatedWhenThereIsRoom) {
  ScratchKey scratch;
  // "This" is stored without a terminator: the byte after it is not zero.
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(scratch.get(), "bin", REG_BINARY, "ThisNeverBreaks", 4));
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(scratch.get(), "text", REG_SZ, "ThisNeverBreaks", 4));
  struct Case {
    const char* name;
    DWORD room, index;
    const char* expected;  // the buffer after the call, 6 bytes
  } cases[] = {{"text", 6, 1, "This\0-"}, {"text", 5, 1, "This\0-"}, {"text", 4, 1, "This--"}, {"bin", 6, 0, "This--"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "/" + std::to_string(c.room));
    for (bool enumerate : {false, true}) {
      char buffer[6], name[16];
      memset(buffer, '-', sizeof buffer);
      DWORD size = c.room, nameLength = sizeof name;
      LONG rc = enumerate
                    ? RegEnumValueA(scratch.get(), c.index, name, &nameLength, nullptr, nullptr, (BYTE*)buffer, &size)
                    : RegQueryValueExA(scratch.get(), c.name, nullptr, nullptr, (BYTE*)buffer, &size);
      EXPECT_EQ("0/4/" + std::string(c.expected, 6),
                std::to_string(rc) + "/" + std::to_string(size) + "/" + std::string(buffer, 6));
    }
  }
}

TEST(Win32Registry, EnumerationIsSortedAndShortBuffersGetMoreData) {
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

TEST(Win32Registry, AccessMasksAreHonoured) {
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
TEST(Win32Registry, DeletingKeysAndHandlesToThem) {
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
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(reborn, "v").rc);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
  RegCloseKey(reborn);
}

TEST(Win32Registry, PredefinedKeysAreKnownByTheirLow32Bits) {
  ScratchKey scratch;
  ASSERT_EQ(ERROR_SUCCESS, SetText(scratch.get(), "v", "x"));
  ULONG_PTR low = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER));
  ULONG_PTR high = static_cast<ULONG_PTR>(0x1234ull << 32);  // none on 32-bit targets
  for (HKEY root : {reinterpret_cast<HKEY>(low), reinterpret_cast<HKEY>(low | high)}) {
    HKEY key = nullptr;
    EXPECT_EQ(Rcs(4, ERROR_SUCCESS), (Rcs{RegOpenKeyExA(root, scratch.path().c_str(), 0, KEY_READ, &key),
                                          Query(key, "v").rc, RegCloseKey(key), RegCloseKey(root)}));
  }
}

TEST(Win32Registry, QueryInfoKeyCountsAndLongestLengths) {
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

TEST(Win32Registry, GetValueFiltersTypes) {
  ScratchKey scratch;
  DWORD number = 7;
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "num", REG_DWORD, &number, 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin4", REG_BINARY, "abcd", 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin3", REG_BINARY, "abc", 3));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "text", REG_SZ, "hello", 6));
  struct Case {
    const char* name;
    DWORD flags;
    LONG rc;
  } cases[] = {
      {"num", RRF_RT_REG_DWORD, ERROR_SUCCESS},
      {"num", RRF_RT_REG_SZ, ERROR_UNSUPPORTED_TYPE},
      {"bin4", RRF_RT_DWORD, ERROR_SUCCESS},
      {"bin3", RRF_RT_DWORD, ERROR_DATATYPE_MISMATCH},
      {"text", RRF_RT_REG_SZ | RRF_RT_REG_DWORD, ERROR_SUCCESS},
      {"missing", RRF_RT_ANY, ERROR_FILE_NOT_FOUND},
      {"text", RRF_RT_REG_EXPAND_SZ, ERROR_INVALID_PARAMETER},
      {"text", 0, ERROR_UNSUPPORTED_TYPE},
  };
  for (const Case& c : cases) {
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(c.rc, RegGetValueA(scratch.get(), "G", c.name, c.flags, nullptr, buffer, &size))
        << c.name << "/" << c.flags;
  }
  // A short buffer, zeroed on failure when asked; a value the filter refuses
  // is handed out all the same.
  char buffer[4] = {'x', 'x', 'x', 'x'};
  DWORD size = sizeof buffer, type = 0, read = 0, readSize = sizeof read, readType = 0;
  EXPECT_EQ((Rcs{ERROR_MORE_DATA, 6, ERROR_UNSUPPORTED_TYPE, REG_DWORD, 4, 7, ERROR_INVALID_PARAMETER}),
            (Rcs{RegGetValueA(scratch.get(), "G", "text", RRF_RT_ANY | RRF_ZEROONFAILURE, &type, buffer, &size),
                 LONG(size), RegGetValueA(scratch.get(), "G", "num", RRF_RT_REG_BINARY, &readType, &read, &readSize),
                 LONG(readType), LONG(readSize), LONG(read),
                 RegGetValueA(scratch.get(), "G", "num", RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY | RRF_SUBKEY_WOW6432KEY,
                              nullptr, nullptr, nullptr)}));
  EXPECT_EQ(std::string(4, '\0'), std::string(buffer, 4));
}

TEST(Win32Registry, GetValueExpandsUnlessTold) {
  ScratchKey scratch;
  // PATH is set wherever the tests run, on both systems.
  char path[4096], unexpanded[32];
  DWORD pathLength = ExpandEnvironmentStringsA("%PATH%", path, sizeof path);
  ASSERT_LT(pathLength, sizeof path);
  EXPECT_EQ(strlen(path) + 1, pathLength);
  EXPECT_EQ(27u, ExpandEnvironmentStringsA("a%KORVEX_NOT_SET_ANYWHERE%", unexpanded, sizeof unexpanded));
  EXPECT_STREQ("a%KORVEX_NOT_SET_ANYWHERE%", unexpanded);

  const char stored[] = "<%PATH%>";
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), nullptr, "e", REG_EXPAND_SZ, stored, sizeof stored));
  std::string expanded = "<" + std::string(path) + ">";
  std::vector<char> buffer(expanded.size() + 16), raw(sizeof stored + 8);
  DWORD asked = 0, size = static_cast<DWORD>(buffer.size()), rawSize = static_cast<DWORD>(raw.size()), type = 0,
        rawType = 0;
  EXPECT_EQ((Rcs{ERROR_SUCCESS, ERROR_SUCCESS, REG_SZ, LONG(expanded.size() + 1), ERROR_SUCCESS, REG_EXPAND_SZ}),
            (Rcs{RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_SZ, &type, nullptr, &asked),
                 RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_SZ, &type, buffer.data(), &size), LONG(type),
                 LONG(size),
                 RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &rawType, raw.data(),
                              &rawSize),
                 LONG(rawType)}));
  EXPECT_GE(asked, expanded.size() + 1);  // the size asked for is enough
  EXPECT_EQ(expanded, buffer.data());
  EXPECT_STREQ(stored, raw.data());
}

TEST(Win32Registry, SubkeyValueCallsCreateReadAndDelete) {
  ScratchKey scratch;
  MakeSource(scratch.get());
  EXPECT_EQ(std::string("one\0", 4), Text(scratch.get(), "Src", "v"));
  EXPECT_EQ(std::string("default\0", 8), Text(scratch.get(), "Src", nullptr));
  // A key without a default value reads as the empty text.
  char text[16], empty[16];
  LONG size = sizeof text, emptySize = sizeof empty, missingSize = sizeof text;
  EXPECT_EQ(
      (Rcs{0, 8, 0, 1, ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER, 0, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND}),
      (Rcs{RegQueryValueA(scratch.get(), "Src", text, &size), size,
           RegQueryValueA(scratch.get(), "Src\\Sub", empty, &emptySize), emptySize,
           RegQueryValueA(scratch.get(), "Nowhere", text, &missingSize),
           RegSetValueA(scratch.get(), "Src", REG_DWORD, "x", 2), RegDeleteKeyValueA(scratch.get(), "Src", "v"),
           RegDeleteKeyValueA(scratch.get(), "Src", "v"), RegDeleteKeyValueA(scratch.get(), "Nowhere", "v")}));
  EXPECT_EQ("default/", std::string(text) + "/" + empty);
  EXPECT_EQ("<2>", Text(scratch.get(), "Src", "v"));
}

TEST(Win32Registry, CopyTreeMergesAndDeleteTreeEmpties) {
  ScratchKey scratch;
  MakeSource(scratch.get());
  HKEY dest = CreateKey(scratch.get(), "Dest");
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(dest, nullptr, "kept", REG_SZ, "k", 2));
  ASSERT_EQ(ERROR_SUCCESS, RegCopyTreeA(scratch.get(), "Src", dest));
  EXPECT_EQ(std::string("one\0|\x01\x02|k\0|default\0", 19),
            Text(scratch.get(), "Dest", "v") + "|" + Text(scratch.get(), "Dest\\Sub", "deep") + "|" +
                Text(scratch.get(), "Dest", "kept") + "|" + Text(scratch.get(), "Dest", nullptr));
  // A NULL subkey empties the key and keeps it; a name deletes the subtree.
  DWORD subkeys = 9, values = 9;
  EXPECT_EQ((Rcs{ERROR_FILE_NOT_FOUND, 0, 0, 0, 0, ERROR_FILE_NOT_FOUND}),
            (Rcs{RegCopyTreeA(scratch.get(), "Nowhere", dest), RegDeleteTreeA(dest, nullptr),
                 RegQueryInfoKeyA(dest, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                  nullptr, nullptr, nullptr),
                 LONG(subkeys + values), RegDeleteTreeA(scratch.get(), "Src"), RegDeleteTreeA(scratch.get(), "Src")}));
  RegCloseKey(dest);
}

TEST(Win32Registry, CurrentUserFlushAndDeleteKeyEx) {
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
TEST(Win32Registry, EnumerationFollowsChangesBetweenCalls) {
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
