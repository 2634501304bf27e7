// CRegistry and RenameKey, checked through the Win32 registry calls alone.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"

namespace {

// path below the scratch key -> "type:bytes" of each value ("@" for the key itself)
typedef std::map<std::string, std::string> TreeDump;

void DumpInto(HKEY key, const std::string& path, TreeDump& dump) {
  dump[path + "@"] = "key";
  char name[1100];
  std::vector<BYTE> data(70000);
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueA(key, i, name, &length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    dump[path + "/" + name] = std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), size);
  }
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    DumpInto(child, path + "\\" + name, dump);
    RegCloseKey(child);
  }
}

class RegistryTest : public testing::Test {
 protected:
  // A CRegistry on the scratch key (or a key below it) with the given rights.
  void OpenScratch(CRegistry& key, unsigned long access = KEY_ALL_ACCESS, const std::string& below = "") {
    std::string path = below.empty() ? scratch_.path() : scratch_ / below;
    ASSERT_EQ(1, key.Open(HKEY_CURRENT_USER, path.c_str(), 1, access));
  }
  // Stores exactly `bytes`. Win32 adds a terminator to string data when the
  // byte after it is zero, so the byte after is made nonzero here.
  void SetRaw(const std::string& key, const char* name, DWORD type, const std::string& bytes) {
    HKEY handle = nullptr;
    std::string path = key.empty() ? scratch_.path() : scratch_ / key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &handle, nullptr));
    std::string padded = bytes + '!';
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(padded.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(handle);
  }
  // The tree below a subkey of the scratch key; empty when it does not exist.
  TreeDump Dump(const std::string& below) {
    TreeDump dump;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (scratch_ / below).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return dump;
    DumpInto(key, "", dump);
    RegCloseKey(key);
    return dump;
  }
  bool Exists(const std::string& below) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (scratch_ / below).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  ScratchKey scratch_;
};

// Calling through a null pointer is what this member promises to survive. The
// volatile keeps the compiler from seeing the null at compile time.
#if defined(__GNUC__)
__attribute__((no_sanitize("undefined")))
#endif
HKEY SafeHkeyOf(const CRegistry* key) {
  const CRegistry* volatile pointer = key;
  return pointer->GetSafeHkey();
}

TEST_F(RegistryTest, HoldingAttachingAndDetaching) {
  CRegistry key;
  EXPECT_EQ(nullptr, key.GetSafeHkey());
  EXPECT_EQ(nullptr, SafeHkeyOf(nullptr));
  EXPECT_EQ(0, key.Attach(nullptr));
  OpenScratch(key);
  HKEY first = key.GetSafeHkey();
  EXPECT_EQ(first, SafeHkeyOf(&key));

  // A second key is refused and the first stays.
  CRegistry other;
  OpenScratch(other);
  EXPECT_EQ(0, key.Attach(other.GetSafeHkey()));
  EXPECT_EQ(first, key.GetSafeHkey());

  // A failed Open leaves the held key in place, usable.
  EXPECT_EQ(0, key.Open(HKEY_CURRENT_USER, (scratch_ / "missing").c_str(), 0, KEY_READ));
  EXPECT_EQ(first, key.GetSafeHkey());
  EXPECT_EQ(1, key.SetValue("still", 1ul));

  // Copies share the handle; one gives it up so it is closed once.
  CRegistry copy(key);
  EXPECT_EQ(first, copy.GetSafeHkey());
  CRegistry assigned;
  assigned = key;
  EXPECT_EQ(first, assigned.Detach());
  EXPECT_EQ(first, copy.Detach());
  EXPECT_EQ(nullptr, copy.Detach());

  HKEY taken = key.Detach();
  EXPECT_EQ(nullptr, key.GetSafeHkey());
  EXPECT_EQ(1, key.Attach(taken));
  key.Close();
  EXPECT_EQ(nullptr, key.GetSafeHkey());
  key.Close();
}

TEST_F(RegistryTest, OpenCreatesOnlyWhenAsked) {
  struct Case {
    const char* name;
    int create;
    int opened;
    const char* exists;  // checked afterwards, relative to the scratch key
  } cases[] = {
      {"Child", 0, 0, nullptr},
      {"Child", 1, 1, "Child"},
      {"child", 0, 1, "Child"},  // names ignore case
      {"A\\B\\C", 1, 1, "A\\B\\C"},
      {"A\\B", 0, 1, "A\\B"},
      {"Trailing\\", 1, 1, "Trailing"},
      {"", 0, 1, nullptr},  // the parent itself
      {nullptr, 0, 1, nullptr},
      {"", 1, 1, nullptr},
  };
  CRegistry parent;
  OpenScratch(parent);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    CRegistry key;
    EXPECT_EQ(c.opened, key.Open(&parent, c.name, c.create, KEY_ALL_ACCESS));
    EXPECT_EQ(c.opened != 0, key.GetSafeHkey() != nullptr);
    if (c.exists) {
      EXPECT_TRUE(Exists(c.exists));
    }
  }
}

TEST_F(RegistryTest, TextQueryLeavesRoomForTheTerminator) {
  CRegistry key;
  OpenScratch(key);
  // Whatever the platform stores, the text reads back terminated.
  ASSERT_EQ(1, key.SetValue("Written", "hello"));
  char written[16];
  ASSERT_EQ(1, key.QueryValue("Written", written, sizeof written));
  EXPECT_STREQ("hello", written);

  // Five bytes stored without a terminator: read with room for size - 1 bytes.
  SetRaw("", "Text", REG_SZ, "hello");
  struct Case {
    unsigned long size;
    int read;
  } cases[] = {{7, 1}, {6, 1}, {5, 0}, {1, 0}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(c.read, key.QueryValue("text", buffer, c.size));
    if (c.read) {
      EXPECT_STREQ("hello", buffer);
    }
  }
  ASSERT_EQ(1, key.SetValue(nullptr, ""));
  char empty[4] = "xyz";
  EXPECT_EQ(1, key.QueryValue("", empty, sizeof empty));
  EXPECT_STREQ("", empty);
}

TEST_F(RegistryTest, GetValueReadsTextUpTo32767Bytes) {
  CRegistry key;
  OpenScratch(key);
  const std::string fits(32767, 'f'), over(32768, 'o');
  SetRaw("", "fits", REG_SZ, fits);
  SetRaw("", "over", REG_SZ, over);
  EXPECT_TRUE(fits == static_cast<const char*>(key.GetValue("fits", CString("default"))));
  EXPECT_STREQ("default", key.GetValue("over", CString("default")));
}

TEST_F(RegistryTest, EachQueryChecksTheType) {
  CRegistry key;
  OpenScratch(key);
  const unsigned char bytes[] = {1, 0, 2, 0};
  ASSERT_EQ(1, key.SetValue("number", 0xFFFFFFFFul));
  ASSERT_EQ(1, key.SetValue("text", "42"));
  ASSERT_EQ(1, key.SetValue("binary", bytes, sizeof bytes));

  struct Case {
    const char* name;
    int asNumber, asText, asBinary;
  } cases[] = {
      {"number", 1, 0, 0},
      {"text", 0, 1, 0},
      {"binary", 0, 0, 1},
      {"missing", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned long number = 0;
    char text[16];
    unsigned char data[16];
    unsigned long size = sizeof data;
    EXPECT_EQ(c.asNumber, key.QueryValue(c.name, number));
    EXPECT_EQ(c.asText, key.QueryValue(c.name, text, sizeof text));
    EXPECT_EQ(c.asBinary, key.QueryValue(c.name, data, &size));
    EXPECT_EQ(c.asNumber ? 0xFFFFFFFFul : 7ul, key.GetValue(c.name, 7ul));
    EXPECT_STREQ(c.asText ? "42" : "dflt", key.GetValue(c.name, CString("dflt")));
  }

  // Binary data: the size goes in as room and comes out as the bytes returned.
  unsigned char data[4];
  unsigned long size = sizeof data;
  ASSERT_EQ(1, key.QueryValue("binary", data, &size));
  EXPECT_EQ(4ul, size);
  EXPECT_EQ(0, memcmp(bytes, data, sizeof bytes));
  size = 3;
  EXPECT_EQ(0, key.QueryValue("binary", data, &size));
}

TEST_F(RegistryTest, EnumerationNeedsRoomForTheTerminator) {
  CRegistry key;
  OpenScratch(key);
  ASSERT_EQ(1, key.SetValue("Value", 1ul));
  CRegistry child;
  ASSERT_EQ(1, child.Open(&key, "Sub", 1, KEY_ALL_ACCESS));

  // A value name gets size - 1 from EnumValue, which keeps one for the
  // terminator; a subkey name gets the whole size.
  struct Case {
    unsigned long size;
    int valueFound, keyFound;
  } cases[] = {{64, 1, 1}, {7, 1, 1}, {6, 0, 1}, {4, 0, 1}, {3, 0, 0}, {1, 0, 0}, {0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char name[64];
    memset(name, 'x', sizeof name);
    EXPECT_EQ(c.valueFound, key.EnumValue(0, name, c.size));
    if (c.valueFound) {
      EXPECT_STREQ("Value", name);
    }
    EXPECT_EQ(c.keyFound, key.EnumKey(0, name, c.size));
    if (c.keyFound) {
      EXPECT_STREQ("Sub", name);
    }
  }
  char name[64];
  EXPECT_EQ(0, key.EnumValue(1, name, sizeof name));
  EXPECT_EQ(0, key.EnumKey(1, name, sizeof name));
}

TEST_F(RegistryTest, DeleteAllValuesStopsAtAFailedDeletion) {
  CRegistry key;
  OpenScratch(key);
  EXPECT_EQ(1, key.DeleteAllValues());
  for (const char* name : {"a", "b", ""}) ASSERT_EQ(1, key.SetValue(name, "v"));

  // Without the right to delete the first deletion fails: no endless retry.
  CRegistry reader;
  OpenScratch(reader, KEY_READ);
  EXPECT_EQ(0, reader.DeleteAllValues());
  char name[16];
  EXPECT_EQ(1, key.EnumValue(2, name, sizeof name));

  EXPECT_EQ(1, key.DeleteAllValues());
  EXPECT_EQ(0, key.EnumValue(0, name, sizeof name));
}

TEST_F(RegistryTest, DeleteKeyLeafOnlyOrWholeTree) {
  CRegistry key, deep;
  OpenScratch(key);
  ASSERT_EQ(1, deep.Open(&key, "Tree\\Branch\\Leaf", 1, KEY_ALL_ACCESS));
  ASSERT_EQ(1, deep.SetValue("v", "leaf"));
  deep.Close();

  EXPECT_EQ(0, key.DeleteKey("Tree", 1));
  EXPECT_TRUE(Exists("Tree\\Branch\\Leaf"));
  EXPECT_EQ(1, key.DeleteKey("Tree\\Branch\\Leaf", 1));
  EXPECT_FALSE(Exists("Tree\\Branch\\Leaf"));
  EXPECT_EQ(1, key.DeleteKey("Tree", 0));
  EXPECT_FALSE(Exists("Tree"));
  EXPECT_EQ(0, key.DeleteKey("Tree", 0));

  CRegistry empty;
  EXPECT_EQ(0, empty.DeleteKey("Tree", 0));
}

TEST_F(RegistryTest, CallsFailWithoutTheRightsTheyNeed) {
  CRegistry setup;
  OpenScratch(setup);
  ASSERT_EQ(1, setup.SetValue("v", "text"));
  CRegistry sub;
  ASSERT_EQ(1, sub.Open(&setup, "Sub", 1, KEY_ALL_ACCESS));

  CRegistry reader, writer, empty;
  OpenScratch(reader, KEY_QUERY_VALUE);
  OpenScratch(writer, KEY_SET_VALUE);
  char text[16];
  EXPECT_EQ(1, reader.QueryValue("v", text, sizeof text));
  EXPECT_EQ(0, reader.SetValue("v", "changed"));
  EXPECT_EQ(0, reader.DeleteValue("v"));
  EXPECT_EQ(0, reader.EnumKey(0, text, sizeof text));
  EXPECT_EQ(0, writer.QueryValue("v", text, sizeof text));
  EXPECT_EQ(0, writer.EnumValue(0, text, sizeof text));
  EXPECT_STREQ("dflt", writer.GetValue("v", CString("dflt")));
  EXPECT_EQ(0, empty.SetValue("v", 1ul));
  EXPECT_EQ(0, empty.QueryValue("v", text, sizeof text));
  EXPECT_STREQ("text", setup.GetValue("v", CString()));
}

// --- RenameKey ---

class RenameTest : public RegistryTest {
 protected:
  void SetUp() override { OpenScratch(parent_); }
  // Old\{Text, Number, Binary, default}, Old\Sub\{Deep\value, bare}, Old\Empty
  void BuildOld() {
    SetRaw("Old", "Text", REG_SZ, "no terminator");  // stays without one
    SetRaw("Old", "Number", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    SetRaw("Old", "Binary", REG_BINARY, std::string("\0\xff\0", 3));
    SetRaw("Old", "", REG_SZ, "default");
    SetRaw("Old\\Sub\\Deep", "value", REG_SZ, std::string("with\0zero", 9));
    SetRaw("Old\\Sub", "bare", REG_BINARY, "");
    CRegistry empty;
    ASSERT_EQ(1, empty.Open(&parent_, "Old\\Empty", 1, KEY_ALL_ACCESS));
  }
  CRegistry parent_;
};

TEST_F(RenameTest, MovesTheWholeTree) {
  BuildOld();
  TreeDump before = Dump("Old");
  ASSERT_EQ(10u, before.size());
  EXPECT_EQ(1, parent_.RenameKey("Old", "New"));
  EXPECT_EQ(before, Dump("New"));
  EXPECT_FALSE(Exists("Old"));
}

TEST_F(RenameTest, EmptyKeyAndMissingKey) {
  CRegistry empty;
  ASSERT_EQ(1, empty.Open(&parent_, "Bare", 1, KEY_ALL_ACCESS));
  EXPECT_EQ(1, parent_.RenameKey("Bare", "Renamed"));
  EXPECT_EQ((TreeDump{{"@", "key"}}), Dump("Renamed"));
  EXPECT_FALSE(Exists("Bare"));

  EXPECT_EQ(0, parent_.RenameKey("Missing", "Created"));
  EXPECT_FALSE(Exists("Created"));
  CRegistry none;
  EXPECT_EQ(0, none.RenameKey("Renamed", "Other"));
  EXPECT_TRUE(Exists("Renamed"));
}

TEST_F(RenameTest, MergesIntoAnExistingKey) {
  SetRaw("Old", "shared", REG_SZ, "from old");
  SetRaw("Old\\Child", "c", REG_DWORD, std::string(4, '\x01'));
  SetRaw("New", "shared", REG_BINARY, "from new");
  SetRaw("New", "kept", REG_SZ, "stays");
  SetRaw("New\\Own", "o", REG_SZ, "stays too");
  EXPECT_EQ(1, parent_.RenameKey("Old", "New"));
  TreeDump merged = Dump("New");
  EXPECT_EQ("1:from old", merged["/shared"]);
  EXPECT_EQ("1:stays", merged["/kept"]);
  EXPECT_EQ("1:stays too", merged["\\Own/o"]);
  EXPECT_EQ(std::string("4:") + std::string(4, '\x01'), merged["\\Child/c"]);
}

TEST_F(RenameTest, RefusesItselfAndItsOwnSubtree) {
  BuildOld();
  TreeDump before = Dump("Old");
  struct Case {
    const char* oldName;
    const char* newName;
  } cases[] = {
      {"Old", "Old"},        {"Old", "old"},        {"Old", "OLD\\"},         {"Old\\", "Old"},
      {"Old", "Old\\Sub"},   {"old\\", "OLD\\new"}, {"Old", "Old\\Sub\\Deep"}, {"Old\\Sub", "old\\sub\\x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.oldName) + " -> " + c.newName);
    EXPECT_EQ(0, parent_.RenameKey(c.oldName, c.newName));
    EXPECT_EQ(before, Dump("Old"));
  }
  // A longer name that merely starts the same is a different key.
  EXPECT_EQ(1, parent_.RenameKey("Old", "Older"));
  EXPECT_EQ(before, Dump("Older"));
}

TEST_F(RenameTest, FailsOnDataTheCopyCannotHold) {
  struct Case {
    size_t valueBytes;
    size_t nameLength;
    int renamed;
  } cases[] = {
      {4096, 10, 1},
      {4097, 10, 0},
      {5000, 10, 0},
      {1, 1021, 1},  // the enumeration passes 1023 and keeps one for the terminator
      {1, 1022, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.valueBytes) + " bytes, name of " + std::to_string(c.nameLength));
    const std::string name(c.nameLength, 'n');
    SetRaw("Src\\Deep", "small", REG_SZ, "kept");
    SetRaw("Src\\Deep", name.c_str(), REG_BINARY, std::string(c.valueBytes, '\x5a'));
    TreeDump before = Dump("Src");
    EXPECT_EQ(c.renamed, parent_.RenameKey("Src", "Dst"));
    EXPECT_EQ(before, Dump(c.renamed ? "Dst" : "Src"));
    EXPECT_EQ(!c.renamed, Exists("Src"));
    parent_.DeleteKey("Src", 0);
    parent_.DeleteKey("Dst", 0);
  }
}

TEST_F(RenameTest, ManyValuesInThreeLevels) {
  CRegistry level;
  ASSERT_EQ(1, level.Open(&parent_, "Big\\One\\Two\\Three", 1, KEY_ALL_ACCESS));
  for (unsigned long i = 0; i < 10000; ++i) ASSERT_EQ(1, level.SetValue(("v" + std::to_string(i)).c_str(), i));
  level.Close();
  SetRaw("Big\\One", "mid", REG_SZ, "middle");
  TreeDump before = Dump("Big");
  ASSERT_EQ(10000u + 1 + 4, before.size());
  EXPECT_EQ(1, parent_.RenameKey("Big", "Moved"));
  EXPECT_EQ(before, Dump("Moved"));
  EXPECT_FALSE(Exists("Big"));
}

}  // namespace
