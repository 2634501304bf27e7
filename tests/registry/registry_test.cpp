// CRegistry and RenameKey, checked through the Win32 registry calls alone.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"

namespace {

// "path@" for each key and "path/name" -> "type:bytes" for each value.
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
  void SetUp() override { ASSERT_EQ(1, key_.Open(HKEY_CURRENT_USER, scratch_.path().c_str(), 0, KEY_ALL_ACCESS)); }
  // Stores exactly `bytes` below the scratch key. Win32 adds a terminator to
  // string data when the byte after it is zero, so that byte is made nonzero.
  void SetRaw(const std::string& key, const char* name, DWORD type, const std::string& bytes) {
    CRegistry handle;
    ASSERT_EQ(1, handle.Open(&key_, key.c_str(), 1, KEY_ALL_ACCESS));
    std::string padded = bytes + '!';
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle.GetSafeHkey(), name, 0, type,
                                            reinterpret_cast<const BYTE*>(padded.data()), (DWORD)bytes.size()));
  }
  // The tree below a subkey of the scratch key; empty when it does not exist.
  TreeDump Dump(const std::string& below) {
    TreeDump dump;
    HKEY key = nullptr;
    if (RegOpenKeyExA(key_.GetSafeHkey(), below.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return dump;
    DumpInto(key, "", dump);
    RegCloseKey(key);
    return dump;
  }

  ScratchKey scratch_;
  CRegistry key_;  // the scratch key, all rights
};

// This member promises to survive a call through a null pointer; the volatile
// keeps the compiler from seeing the null.
#if defined(__GNUC__)
__attribute__((no_sanitize("undefined")))
#endif
HKEY SafeHkeyOf(const CRegistry* key) {
  const CRegistry* volatile pointer = key;
  return pointer->GetSafeHkey();
}

TEST_F(RegistryTest, AttachDetachAndFailedOpenKeepTheKey) {
  EXPECT_EQ(nullptr, SafeHkeyOf(nullptr));
  HKEY held = key_.GetSafeHkey();
  EXPECT_EQ(0, key_.Attach(HKEY_CURRENT_USER));
  EXPECT_EQ(0, key_.Open(HKEY_CURRENT_USER, (scratch_ / "missing").c_str(), 0, KEY_READ));
  EXPECT_EQ(held, SafeHkeyOf(&key_));
  EXPECT_EQ(1, key_.SetValue("still usable", 1ul));

  CRegistry other;
  EXPECT_EQ(0, other.Attach(nullptr));
  EXPECT_EQ(1, other.Attach(key_.Detach()));
  EXPECT_EQ(nullptr, key_.Detach());
  EXPECT_EQ(held, other.GetSafeHkey());
}

TEST_F(RegistryTest, OpenCreatesOnlyWhenAsked) {
  struct Case {
    const char* name;
    int create, opened;
    const char* existsAfter;
  } cases[] = {
      {"Child", 0, 0, nullptr},     {"Child", 1, 1, "Child"},     {"Trailing\\", 1, 1, "Trailing"},
      {"\\Leading", 1, 0, nullptr}, {"\\Leading", 0, 0, nullptr}, {"", 0, 1, nullptr},
      {nullptr, 0, 1, nullptr},     {"", 1, 1, nullptr},          {nullptr, 1, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    CRegistry key;
    EXPECT_EQ(c.opened, key.Open(&key_, c.name, c.create, KEY_ALL_ACCESS));
    EXPECT_EQ(c.opened != 0, key.GetSafeHkey() != nullptr);
    if (c.existsAfter) {
      EXPECT_FALSE(Dump(c.existsAfter).empty());
    }
  }
}

TEST_F(RegistryTest, TextQueriesKeepRoomForTheTerminator) {
  // Stored without terminators: a text of size - 1 bytes fits, one more does not.
  struct Case {
    size_t length;
    unsigned long size;
    int read;
  } cases[] = {{5, 7, 1}, {5, 6, 1}, {5, 5, 0}, {0, 1, 1}, {0, 0, 0}, {32767, 32768, 1}, {32768, 32768, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + " in " + std::to_string(c.size));
    std::string text(c.length, 't');
    ASSERT_EQ(1, key_.SetValue("text", text.c_str()));
    DWORD stored = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_.GetSafeHkey(), "text", nullptr, nullptr, nullptr, &stored));
    EXPECT_EQ(c.length, stored);
    std::vector<char> buffer(c.size + 1, 'x');
    EXPECT_EQ(c.read, key_.QueryValue("TEXT", buffer.data(), c.size));
    if (c.read) {
      EXPECT_EQ(text, buffer.data());
    }
    // GetValue's own buffer holds 32768 bytes.
    if (c.size == 32768) {
      EXPECT_EQ(c.read ? text : "dflt", std::string(key_.GetValue("text", CString("dflt"))));
    }
  }
}

TEST_F(RegistryTest, EachQueryChecksTheType) {
  const unsigned char bytes[] = {1, 0, 2, 0};
  ASSERT_EQ(1, key_.SetValue("number", 0xFFFFFFFFul));
  ASSERT_EQ(1, key_.SetValue("text", "42"));
  ASSERT_EQ(1, key_.SetValue("binary", bytes, sizeof bytes));
  struct Case {
    const char* name;
    int asNumber, asText, asBinary;
  } cases[] = {{"number", 1, 0, 0}, {"text", 0, 1, 0}, {"binary", 0, 0, 1}, {"missing", 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned long number = 0, size = 4;
    char text[16];
    unsigned char data[4];
    EXPECT_EQ(c.asNumber, key_.QueryValue(c.name, number));
    EXPECT_EQ(c.asText, key_.QueryValue(c.name, text, sizeof text));
    EXPECT_EQ(c.asBinary, key_.QueryValue(c.name, data, &size));
    EXPECT_EQ(c.asNumber ? 0xFFFFFFFFul : 7ul, key_.GetValue(c.name, 7ul));
    EXPECT_STREQ(c.asText ? "42" : "dflt", key_.GetValue(c.name, CString("dflt")));
  }
  unsigned char data[4];
  unsigned long size = 3;
  EXPECT_EQ(0, key_.QueryValue("binary", data, &size));  // one byte short
}

TEST_F(RegistryTest, EnumerationNeedsRoomForTheTerminator) {
  ASSERT_EQ(1, key_.SetValue("Value", 1ul));
  CRegistry child;
  ASSERT_EQ(1, child.Open(&key_, "Sub", 1, KEY_ALL_ACCESS));
  // A value name gets size - 1 from EnumValue, which keeps one for the
  // terminator; a subkey name gets the whole size.
  struct Case {
    unsigned long size;
    int valueFound, keyFound;
  } cases[] = {{7, 1, 1}, {6, 0, 1}, {4, 0, 1}, {3, 0, 0}, {1, 0, 0}, {0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char name[8] = "xxxxxxx";
    EXPECT_EQ(c.valueFound, key_.EnumValue(0, name, c.size));
    EXPECT_STREQ(c.valueFound ? "Value" : name, name);
    EXPECT_EQ(c.keyFound, key_.EnumKey(0, name, c.size));
    if (c.keyFound) {
      EXPECT_STREQ("Sub", name);
    }
  }
  char name[8];
  EXPECT_EQ(0, key_.EnumValue(1, name, sizeof name));
  EXPECT_EQ(0, key_.EnumKey(1, name, sizeof name));
}

TEST_F(RegistryTest, DeletionsAndMissingRights) {
  EXPECT_EQ(1, key_.DeleteAllValues());
  for (const char* name : {"a", "b", ""}) ASSERT_EQ(1, key_.SetValue(name, "v"));
  CRegistry reader, writer, empty;
  ASSERT_EQ(1, reader.Open(&key_, "", 0, KEY_READ));
  ASSERT_EQ(1, writer.Open(&key_, "", 0, KEY_SET_VALUE));
  // The first deletion fails and is not tried again and again.
  EXPECT_EQ(0, reader.DeleteAllValues());
  EXPECT_EQ(0, reader.SetValue("a", "w"));
  EXPECT_EQ(0, writer.EnumValue(0, nullptr, 0));
  EXPECT_STREQ("dflt", writer.GetValue("a", CString("dflt")));
  EXPECT_EQ(0, empty.SetValue("a", 1ul));
  EXPECT_EQ(0, empty.DeleteKey("Tree", 0));
  EXPECT_STREQ("v", reader.GetValue("", CString()));
  EXPECT_EQ(1, key_.DeleteAllValues());
  char name[8];
  EXPECT_EQ(0, key_.EnumValue(0, name, sizeof name));

  SetRaw("Tree\\Branch\\Leaf", "v", REG_SZ, "leaf");
  EXPECT_EQ(0, key_.DeleteKey("Tree", 1));  // has subkeys
  EXPECT_EQ(1, key_.DeleteKey("Tree\\Branch\\Leaf", 1));
  EXPECT_EQ(1u, Dump("Tree").count("\\Branch@"));
  EXPECT_EQ(1, key_.DeleteKey("Tree", 0));
  EXPECT_TRUE(Dump("Tree").empty());
  EXPECT_EQ(0, key_.DeleteKey("Tree", 0));
}

// --- RenameKey ---

TEST_F(RegistryTest, RenameMovesTheWholeTreeAndMerges) {
  SetRaw("Old", "Text", REG_SZ, "no terminator");  // stays without one
  SetRaw("Old", "Number", REG_DWORD, "\x01\x02\x03\x04");
  SetRaw("Old", "", REG_SZ, "default");
  SetRaw("Old\\Sub\\Deep", "zero", REG_BINARY, std::string("\0\xff\0", 3));
  SetRaw("Old\\Sub", "bare", REG_BINARY, "");
  CRegistry empty;
  ASSERT_EQ(1, empty.Open(&key_, "Old\\Empty", 1, KEY_ALL_ACCESS));
  TreeDump old = Dump("Old");
  ASSERT_EQ(9u, old.size());
  EXPECT_EQ(1, key_.RenameKey("Old", "New"));
  EXPECT_EQ(old, Dump("New"));
  EXPECT_TRUE(Dump("Old").empty());

  // Into an existing key: same names overwritten, the rest of it stays.
  SetRaw("Other", "Text", REG_BINARY, "replaced");
  SetRaw("Other", "own", REG_SZ, "stays");
  SetRaw("Other\\Own", "o", REG_SZ, "stays too");
  EXPECT_EQ(1, key_.RenameKey("New", "other"));
  TreeDump merged = Dump("Other");
  EXPECT_EQ("1:no terminator", merged["/Text"]);
  EXPECT_EQ("1:stays", merged["/own"]);
  EXPECT_EQ("1:stays too", merged["\\Own/o"]);
  EXPECT_EQ(old["\\Sub\\Deep/zero"], merged["\\Sub\\Deep/zero"]);

  EXPECT_EQ(0, key_.RenameKey("Missing", "Created"));
  EXPECT_TRUE(Dump("Created").empty());
  CRegistry none;
  EXPECT_EQ(0, none.RenameKey("Other", "Else"));
}

TEST_F(RegistryTest, RenameRefusesItselfAndItsOwnSubtree) {
  SetRaw("Old\\Sub\\Deep", "v", REG_SZ, "kept");
  TreeDump before = Dump("Old");
  struct Case {
    const char *oldName, *newName;
  } cases[] = {
      {"Old", "Old"},      {"Old", "old"},        {"Old", "OLD\\"},          {"Old\\", "Old"},
      {"Old", "Old\\Sub"}, {"old\\", "OLD\\new"}, {"Old", "Old\\Sub\\Deep"}, {"Old\\Sub", "old\\sub\\x"},
      {"", "New"},         {nullptr, "New"},  // the held key itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.oldName ? c.oldName : "(null)") + " -> " + c.newName);
    EXPECT_EQ(0, key_.RenameKey(c.oldName, c.newName));
    EXPECT_EQ(before, Dump("Old"));
    EXPECT_TRUE(Dump("New").empty());
  }
  // A name that merely starts the same is another key.
  EXPECT_EQ(1, key_.RenameKey("Old", "Older"));
  EXPECT_EQ(before, Dump("Older"));
}

TEST_F(RegistryTest, RenameFailsOnDataTheCopyCannotHold) {
  struct Case {
    size_t valueBytes, nameLength;
    int renamed;
  } cases[] = {
      {4096, 10, 1}, {4097, 10, 0}, {5000, 10, 0},
      {1, 1021, 1},  {1, 1022, 0},  // the enumeration passes 1023 and keeps one for the terminator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.valueBytes) + " bytes, name of " + std::to_string(c.nameLength));
    SetRaw("Src\\Deep", "small", REG_SZ, "kept");
    SetRaw("Src\\Deep", std::string(c.nameLength, 'n').c_str(), REG_BINARY, std::string(c.valueBytes, 'z'));
    TreeDump before = Dump("Src");
    EXPECT_EQ(c.renamed, key_.RenameKey("Src", "Dst"));
    EXPECT_EQ(before, Dump(c.renamed ? "Dst" : "Src"));
    EXPECT_EQ(c.renamed != 0, Dump("Src").empty());
    key_.DeleteKey("Src", 0);
    key_.DeleteKey("Dst", 0);
  }
}

TEST_F(RegistryTest, RenameManyValuesInThreeLevels) {
  CRegistry level;
  ASSERT_EQ(1, level.Open(&key_, "Big\\One\\Two\\Three", 1, KEY_ALL_ACCESS));
  for (unsigned long i = 0; i < 10000; ++i) ASSERT_EQ(1, level.SetValue(("v" + std::to_string(i)).c_str(), i));
  level.Close();
  SetRaw("Big\\One", "mid", REG_SZ, "middle");
  TreeDump before = Dump("Big");
  ASSERT_EQ(10000u + 1 + 4, before.size());
  EXPECT_EQ(1, key_.RenameKey("Big", "Moved"));
  EXPECT_EQ(before, Dump("Moved"));
  EXPECT_TRUE(Dump("Big").empty());
}

}  // namespace
