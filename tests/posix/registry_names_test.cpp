// Registry names compare as Windows compares them, by each character's simple
// uppercase mapping in every script; names that are not UTF-8 fold ASCII only.
// The layer's own: Windows would read these bytes in its ANSI code page.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/hive/schema.h"
#include "platform/posix/text/name_order.h"
#include "tests/posix/old_hive.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

using korvex::posix::text::CompareNames;
using korvex::posix::text::FoldedName;

struct NamePair {
  const char* made;
  const char* asked;
  bool same;
};
const NamePair kPairs[] = {
    {"Ключ", "ключ", true},
    {"Ключ", "КЛЮЧ", true},
    {"Σ", "σ", true},
    {"Σ", "ς", true},  // final sigma's simple uppercase is Σ too
    {"É", "é", true},
    {"Straße", "STRASSE", false},  // one character each way: no full mapping
    {"\xC9", "É", false},          // Latin-1 É is not UTF-8 É,
    {"\xC9", "\xE9", false},       // nor folded to é outside UTF-8,
    {"\xC9x", "\xC9X", true},      // while its ASCII letters still are
    {"a\xC9", "A\xC3\x89", false},
};

TEST(RegistryNames, KeysAndValuesMatchByEachCharactersSimpleUppercase) {
  ScratchFolder scratch;
  for (const NamePair& pair : kPairs) {
    HKEY parent = CreateKey(HKEY_CURRENT_USER, (std::string("Uni\\") + pair.made).c_str()), found = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, SetText(parent, pair.made, "v"));
    std::string asked = std::string("Uni\\") + pair.asked;
    EXPECT_EQ(pair.same, RegOpenKeyExA(HKEY_CURRENT_USER, asked.c_str(), 0, KEY_READ, &found) == ERROR_SUCCESS)
        << pair.made << " / " << pair.asked;
    EXPECT_EQ(pair.same, RegQueryValueExA(parent, pair.asked, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        << pair.made << " / " << pair.asked;
    if (found) RegCloseKey(found);
    RegCloseKey(parent);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Uni");
  }
  // A name keeps its case as first written; the order is the uppercase one
  // (`_` after `B`), not the lowercase one older versions had (`_` before `a`).
  HKEY uni = CreateKey(HKEY_CURRENT_USER, "Uni");
  for (const char* name : {"ключ", "b", "_", "A", "Б", "КЛЮЧ"}) RegCloseKey(CreateKey(uni, name));
  EXPECT_EQ((std::vector<std::string>{"A", "b", "_", "Б", "ключ"}), SubkeyNames(uni));
  RegCloseKey(uni);
}

// The folded form other parts of the layer key names by says what the
// comparison says.
TEST(RegistryNames, FoldedFormsOrderAsTheNamesCompare) {
  std::vector<std::string> names = {"",
                                    "a",
                                    "A",
                                    "_",
                                    "ab",
                                    "Ключ",
                                    "ключ",
                                    "Σ",
                                    "ς",
                                    "É",
                                    "é",
                                    "\xC9",
                                    "\xE9",
                                    "a\xC9",
                                    "\xC9x",
                                    "\xC9X",
                                    "\xF4\x8F\xBF\xBF",
                                    "ı",
                                    "I",
                                    "z",
                                    "Straße"};
  for (const std::string& a : names)
    for (const std::string& b : names) {
      int compared = CompareNames(a, b), folded = FoldedName(a).compare(FoldedName(b));
      EXPECT_EQ((compared > 0) - (compared < 0), (folded > 0) - (folded < 0)) << a << " / " << b;
      EXPECT_EQ(-compared > 0, CompareNames(b, a) > 0) << a << " / " << b;
    }
}

// A hive of the previous version is brought up to date at its first writer:
// nothing lost, ids kept and never reused, counts kept.
TEST(RegistryNames, OldHiveIsUpgradedKeepingEveryNameAndId) {
  ScratchFolder scratch;
  std::string hive = scratch / "user.db";
  ASSERT_TRUE(MakeOldHive(hive));
  ASSERT_EQ(0, chmod(hive.c_str(), 0600));
  EXPECT_EQ(kUpgradedUni, TreeAt(HKEY_CURRENT_USER, "Software\\Uni"));
  EXPECT_EQ("Имя=a;имя (2)=b;", TreeAt(HKEY_CURRENT_USER, "Software\\Uni\\ключ"));
  RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Software\\New"));
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(hive.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, korvex::posix::hive::RegisterNameOrder(db));
  auto number = [&](const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return value;
  };
  EXPECT_EQ(2, number("PRAGMA user_version"));
  EXPECT_EQ(8, number("SELECT id FROM keys WHERE parent = 2 AND name = 'new'"));
  EXPECT_EQ(5, number("SELECT name_changes FROM keys WHERE id = 3"));
  EXPECT_EQ(2, number("SELECT type FROM vals WHERE key = 4 AND name = X''"));
  sqlite3_close(db);
}

// The machine hive as the previous version left it is read as it stands by
// those who may not write it, until its first writer brings it up to date.
TEST(RegistryNames, OldMachineHiveIsReadAsItStandsUntilAWriterUpgradesIt) {
  if (geteuid() != 0) GTEST_SKIP() << "only root runs a reader who may not write the hive";
  ScratchFolder scratch;
  std::string folder = scratch / "machine";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
  ASSERT_TRUE(MakeOldHive(folder + "/machine.db"));
  auto reads = [](const char* tree) {
    return RunInChild([&] {
      BecomeUnprivileged();
      return TreeAt(HKEY_LOCAL_MACHINE, "Software\\Uni") == tree ? 0 : 1;
    });
  };
  EXPECT_EQ(0, reads("[Ключ]{Имя=a;имя=b;}[Ключ (2)]{}[ключ]{}"));
  RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Software\\New"));
  EXPECT_EQ(0, reads(kUpgradedUni));
}

}  // namespace
