// CRegistry and RenameKey, checked through the Win32 registry calls alone.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"

namespace {

// The tree at root\\path: "shown@" for each key and "shown/name" -> "type:bytes"
// for each value; empty when it does not exist.
typedef std::map<std::string, std::string> TreeDump;
TreeDump Dump(HKEY root, const std::string& path, const std::string& shown = "") {
  TreeDump dump;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return dump;
  dump[shown + "@"] = "key";
  char name[1100];
  std::vector<BYTE> data(70000);
  for (DWORD i = 0; i < kMostEntries; ++i) {
    DWORD length = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueA(key, i, name, &length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    dump[shown + "/" + name] = std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), size);
  }
  for (DWORD i = 0; i < kMostEntries && RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    TreeDump below = Dump(key, name, shown + "\\" + name);
    dump.insert(below.begin(), below.end());
  }
  RegCloseKey(key);
  return dump;
}

class RegistryTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, key_.Open(HKEY_CURRENT_USER, scratch_.path().c_str(), 0, KEY_ALL_ACCESS)); }
  // Stores exactly `bytes` below the scratch key. Win32 adds a terminator to
  // string data when the byte after it is zero, so that byte is made nonzero.
  void SetRaw(const std::string& key, const char* name, DWORD type, const std::string& bytes) {
    const std::string padded = bytes + '!';
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueA(key_.GetSafeHkey(), key.c_str(), name, type, padded.data(), DWORD(bytes.size())));
  }
  TreeDump Dump(const std::string& below) { return ::Dump(key_.GetSafeHkey(), below); }

  ScratchKey scratch_;
  CRegistry key_;  // the scratch key, all rights
};

TEST_F(RegistryTest, QueriesCheckTheTypeAndKeepRoomForTheTerminator) {
  // Stored without terminators: a text of size - 1 bytes fits. GetValue's buffer holds 32768.
  const std::tuple<DWORD, unsigned long, int> texts[] = {
      {5, 6, 1}, {5, 5, 0}, {0, 0, 0}, {32767, 32768, 1}, {32768, 32768, 0}};
  for (const auto& [length, size, read] : texts) {
    SCOPED_TRACE(std::to_string(length) + " in " + std::to_string(size));
    std::string text(length, 't');
    ASSERT_EQ(1, key_.SetValue("text", text.c_str()));
    DWORD stored = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_.GetSafeHkey(), "text", nullptr, nullptr, nullptr, &stored));
    EXPECT_EQ(length, stored);
    std::vector<char> buffer(size + 1, 'x');
    EXPECT_EQ(read, key_.QueryValue("TEXT", buffer.data(), size));
    EXPECT_TRUE(!read || text == buffer.data());
    EXPECT_EQ(length < 32768 ? text : "dflt", std::string(key_.GetValue("text", CString("dflt"))));
  }

  const unsigned char bytes[] = {1, 0, 2, 0};
  ASSERT_EQ(1, key_.SetValue("number", 0xFFFFFFFFul));
  ASSERT_EQ(1, key_.SetValue("text", "42"));
  ASSERT_EQ(1, key_.SetValue("binary", bytes, sizeof bytes));
  // As a number, as text, as 4 bytes, as 3 bytes (one short); then GetValue of each.
  const char* types[][2] = {
      {"number", "1000/4294967295/dflt"}, {"text", "0100/7/42"}, {"binary", "0010/7/dflt"}, {"missing", "0000/7/dflt"}};
  for (auto c : types) {
    unsigned long number = 0, size = 4, shortSize = 3;
    char text[16];
    unsigned char data[4];
    std::string result =
        std::to_string(key_.QueryValue(c[0], number)) + std::to_string(key_.QueryValue(c[0], text, sizeof text)) +
        std::to_string(key_.QueryValue(c[0], data, &size)) + std::to_string(key_.QueryValue(c[0], data, &shortSize));
    result += "/" + std::to_string(key_.GetValue(c[0], 7ul)) + "/" + std::string(key_.GetValue(c[0], CString("dflt")));
    EXPECT_EQ(c[1], result) << c[0];
  }
}

TEST_F(RegistryTest, RenameMovesTheWholeTreeAndMergesButNeverIntoItself) {
  SetRaw("Old", "Text", REG_SZ, "no terminator");  // stays without one
  SetRaw("Old", "Number", REG_DWORD, "\x01\x02\x03\x04");
  SetRaw("Old", "", REG_SZ, "default");
  SetRaw("Old\\Sub\\Deep", "zero", REG_BINARY, std::string("\0\xff\0", 3));
  SetRaw("Old\\Sub", "bare", REG_BINARY, "");
  CRegistry empty;
  ASSERT_EQ(1, empty.Open(&key_, "Old\\Empty", 1, KEY_ALL_ACCESS));
  TreeDump old = Dump("Old");
  ASSERT_EQ(9u, old.size());
  const char* refused[][2] = {
      {"Old", "Old"},      {"Old", "old"},        {"Old", "OLD\\"},          {"Old\\", "Old"},
      {"Old", "Old\\Sub"}, {"old\\", "OLD\\new"}, {"Old", "Old\\Sub\\Deep"}, {"Old\\Sub", "old\\sub\\x"},
      {"", "New"},         {nullptr, "New"},  // the held key itself
  };
  for (auto c : refused) {
    SCOPED_TRACE(std::string(c[0] ? c[0] : "(null)") + " -> " + c[1]);
    EXPECT_EQ(0, key_.RenameKey(c[0], c[1]));
    EXPECT_EQ(old, Dump("Old"));
    EXPECT_TRUE(Dump("New").empty());
  }
  EXPECT_EQ(1, key_.RenameKey("Old", "Older"));  // merely starts the same: another key
  EXPECT_EQ(old, Dump("Older"));
  EXPECT_TRUE(Dump("Old").empty());

  // Into an existing key: same names overwritten, the rest of it stays.
  SetRaw("Other", "Text", REG_BINARY, "replaced");
  SetRaw("Other", "own", REG_SZ, "stays");
  SetRaw("Other\\Own", "o", REG_SZ, "stays too");
  EXPECT_EQ(1, key_.RenameKey("Older", "other"));
  TreeDump merged = Dump("Other");
  EXPECT_EQ("1:no terminator|1:stays|1:stays too|" + old["\\Sub\\Deep/zero"],
            merged["/Text"] + "|" + merged["/own"] + "|" + merged["\\Own/o"] + "|" + merged["\\Sub\\Deep/zero"]);
  CRegistry none;
  EXPECT_EQ(0, key_.RenameKey("Missing", "Created") + none.RenameKey("Other", "Else"));
  EXPECT_TRUE(Dump("Created").empty());
}

TEST_F(RegistryTest, RenameFailsOnDataTheCopyCannotHold) {
  // The name: 1023 bytes less one for the terminator.
  const std::tuple<size_t, size_t, int> cases[] = {{4096, 10, 1}, {4097, 10, 0}, {1, 1021, 1}, {1, 1022, 0}};
  for (const auto& [valueBytes, nameLength, renamed] : cases) {
    SCOPED_TRACE(std::to_string(valueBytes) + " bytes, name of " + std::to_string(nameLength));
    SetRaw("Src\\Deep", "small", REG_SZ, "kept");
    SetRaw("Src\\Deep", std::string(nameLength, 'n').c_str(), REG_BINARY, std::string(valueBytes, 'z'));
    TreeDump before = Dump("Src");
    EXPECT_EQ(renamed, key_.RenameKey("Src", "Dst"));
    EXPECT_EQ(before, Dump(renamed ? "Dst" : "Src"));
    EXPECT_EQ(renamed != 0, Dump("Src").empty());
    key_.DeleteKey("Src", 0);
    key_.DeleteKey("Dst", 0);
  }
}

}  // namespace
