#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "korvex/paths.h"

namespace {

std::string Text(const CString& text) {
  return std::string(static_cast<const char*>(text), static_cast<size_t>(text.GetLength()));
}

std::string Joined(const char* path, const char* name, int (*join)(CString&, const char*), int expected = 1) {
  CString result(path);
  EXPECT_EQ(join(result, name), expected) << path << " + " << (name ? name : "NULL");
  return Text(result);
}

struct Calls {
  std::vector<std::string> names;
  int stopAfter = -1;
};

// `long` cannot carry a pointer on 64-bit Windows: the data is an index into
// the calls under way, which also shows it passes through unchanged.
std::vector<Calls*> g_calls;

int Collect(const char* name, long data) {
  Calls* calls = g_calls.at(static_cast<size_t>(data));
  calls->names.push_back(name);
  return calls->stopAfter < 0 || static_cast<int>(calls->names.size()) < calls->stopAfter;
}

long Track(Calls* calls) {
  g_calls.push_back(calls);
  return static_cast<long>(g_calls.size() - 1);
}

// A fresh folder below the test temp folder; removed with all it holds.
class PathsOnDisk : public ::testing::Test {
protected:
  void SetUp() override {
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = std::filesystem::path(::testing::TempDir()) / ("korvex_paths_" + std::to_string(ticks));
    std::filesystem::create_directories(root_);
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
    g_calls.clear();
  }

  void MakeFile(const std::string& name, const char* content = "x") {
    FILE* file = fopen((root_ / name).string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs(content, file);
    fclose(file);
  }
  // The library's own form: the folder, a backslash, the name.
  std::string Win(const std::string& name) const { return root_.string() + "\\" + name; }
  std::string Slash(const std::string& name) const { return (root_ / name).string(); }

  std::filesystem::path root_;
};

}  // namespace

TEST(AppendPath, JoinsWithOneBackslashAndNothingElse) {
  EXPECT_EQ(Joined("C:\\dir", "sub", AppendPath), "C:\\dir\\sub");
  EXPECT_EQ(Joined("C:\\dir\\", "\\sub", AppendPath), "C:\\dir\\sub");
  EXPECT_EQ(Joined("C:\\dir", "\\sub", AppendPath), "C:\\dir\\sub");
  EXPECT_EQ(Joined("C:\\dir", "", AppendPath), "C:\\dir\\");
  EXPECT_EQ(Joined("C:\\dir", "\\\\sub", AppendPath), "C:\\dir\\\\sub");
  EXPECT_EQ(Joined("C:\\dir", "..\\.\\x", AppendPath), "C:\\dir\\..\\.\\x");
  EXPECT_EQ(Joined("rel", "x", AppendPath), "rel\\x");
  EXPECT_EQ(Joined("", "x", AppendPath, 0), "");
  EXPECT_EQ(Joined("C:\\dir", NULL, AppendPath, 0), "C:\\dir");
}

TEST(AppendPathEx, ResolvesDotComponentsOfRelativeNames) {
  EXPECT_EQ(Joined("C:\\a\\b", "..\\x\\.\\y", AppendPathEx), "C:\\a\\x\\y");
  EXPECT_EQ(Joined("C:\\a", "..", AppendPathEx), "C:");
  EXPECT_EQ(Joined("C:\\a", "..\\..\\..\\x", AppendPathEx), "C:\\x");
  EXPECT_EQ(Joined("C:\\a\\", "x", AppendPathEx), "C:\\a\\\\x");
  EXPECT_EQ(Joined("C:\\a", "x\\", AppendPathEx), "C:\\a\\x");
  EXPECT_EQ(Joined("C:\\a", "", AppendPathEx), "C:\\a");
  EXPECT_EQ(Joined("C:\\a", ".\\.\\.", AppendPathEx), "C:\\a");
  EXPECT_EQ(Joined("C:\\a", "...\\. \\.x", AppendPathEx), "C:\\a\\...\\. \\.x");
  // A backslash at the front of what is left makes the rest one component.
  EXPECT_EQ(Joined("C:\\a", "x\\\\..\\y", AppendPathEx), "C:\\a\\x\\\\..\\y");
  EXPECT_EQ(Joined("\\\\srv\\share", "..\\..\\x", AppendPathEx), "\\\\x");
  // ".." goes on cutting past the root, down to an empty path.
  EXPECT_EQ(Joined("\\\\", "..\\..\\..\\..", AppendPathEx), "");
  EXPECT_EQ(Joined("..\\.", "..\\.\\..", AppendPathEx), "..");
}

TEST(AppendPathEx, DriveAndRootedNames) {
  EXPECT_EQ(Joined("C:\\a", "D:\\other", AppendPathEx), "D:\\other");
  EXPECT_EQ(Joined("C:\\a", "D:..\\x\\.", AppendPathEx), "D:..\\x\\.");
  EXPECT_EQ(Joined("C:\\a", "\\root", AppendPathEx), "C:\\root");
  EXPECT_EQ(Joined("\\\\srv\\share", "\\root\\..", AppendPathEx), "\\\\\\root\\..");
  // The first two characters of a drive path are not examined.
  EXPECT_EQ(Joined("..\\", "\\x", AppendPathEx), "..\\x");
  EXPECT_EQ(Joined("..\\", "..\\..\\y", AppendPathEx), "..\\y");
}

TEST(AppendPathEx, RefusesRelativePathsAndNullNames) {
  const char* relative[] = {"a\\b", "\\", "C:", "C:x\\y", "", "x", "/tmp/a"};
  for (const char* path : relative) EXPECT_EQ(Joined(path, "x", AppendPathEx, 0), path);
  EXPECT_EQ(Joined("C:\\a", NULL, AppendPathEx, 0), "C:\\a");
  EXPECT_EQ(Joined("\\\\", "x", AppendPathEx), "\\\\\\x");
}

TEST(ReplaceFnameOfPath, KeepsDriveFolderAndExtension) {
  struct Case {
    const char* path;
    const char* fname;
    const char* result;
  } cases[] = {
      {"C:\\dir\\old.exe", "new", "C:\\dir\\new.exe"},
      {"C:\\dir\\old.exe", "new.txt", "C:\\dir\\new.txt.exe"},
      {"old.exe", "new", "new.exe"},
      {"C:\\dir\\old", "new", "C:\\dir\\new"},
      {"C:\\d.ir\\old", "new", "C:\\d.ir\\new"},
      {"C:/dir/old.tar.gz", "new", "C:/dir/new.gz"},
      {"\\\\srv\\share\\f.txt", "g", "\\\\srv\\share\\g.txt"},
      {"C:", "new", "C:new"},
      {"C:\\dir\\.profile", "new", "C:\\dir\\new.profile"},
      {"x\\C:old.c", "new", "x\\new.c"},
      {"", "new", "new"},
      {"C:\\dir\\", "", "C:\\dir\\"},
  };
  for (const Case& c : cases) {
    CString result("stale");
    ReplaceFnameOfPath(result, c.path, c.fname);
    EXPECT_EQ(Text(result), c.result) << c.path;
  }
}

// Names that do not end in a number in parentheses give 0 and the whole name.
TEST(SplitNameForSaveAs, TrailingNumberInParentheses) {
  struct Case {
    const char* name;
    int result;
    const char* base;
    unsigned int number;  // looked at when the result is 1
  } cases[] = {
      {"Report (12)", 1, "Report", 12},
      {"Report()", 1, "Report", 0},
      {"(7)", 1, "", 7},
      {"Report \t (3)", 1, "Report", 3},
      {"a(1)(2)", 1, "a(1)", 2},
      {"()()", 1, "()", 0},
      {"(()", 1, "(", 0},
      {"((12)", 1, "(", 12},
      {"x (4294967296)", 1, "x", 0},
      {"x (4294967297)", 1, "x", 1},
      {"x (0000000000000000000009)", 1, "x", 9},
      {"Report (1a)", 0, "Report (1a)", 0},
      {"Report (12).txt", 0, "Report (12).txt", 0},
      {")", 0, ")", 0},
      {"))", 0, "))", 0},
      {"1234)", 0, "1234)", 0},
      {"123", 0, "123", 0},
      {"(((", 0, "(((", 0},
      {"Report 12)", 0, "Report 12)", 0},
      {"a(1))", 0, "a(1))", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CString base("stale");
    unsigned int number = 99;
    EXPECT_EQ(SplitNameForSaveAs(c.name, base, number), c.result);
    EXPECT_EQ(Text(base), c.base);
    if (c.result) {
      EXPECT_EQ(number, c.number);
    }
  }
  // No name at all: nothing is written.
  CString base("untouched");
  unsigned int number = 5;
  EXPECT_EQ(SplitNameForSaveAs("", base, number), 0);
  EXPECT_EQ(SplitNameForSaveAs(NULL, base, number), 0);
  EXPECT_EQ(Text(base), "untouched");
  EXPECT_EQ(number, 5u);
}

TEST_F(PathsOnDisk, ExistenceOfFilesAndFolders) {
  MakeFile("file.txt");
  EXPECT_EQ(DoesFileExist(Win("file.txt").c_str()), 1);
  EXPECT_EQ(DoesFileExist(Slash("file.txt").c_str()), 1);
  EXPECT_EQ(DoesFileExist(root_.string().c_str()), 1);
  EXPECT_EQ(DoesFileExist(Win("*.txt").c_str()), 1);
  EXPECT_EQ(DoesFileExist(Win("*.ini").c_str()), 0);
  EXPECT_EQ(DoesFileExist(Win("missing").c_str()), 0);
  EXPECT_EQ(DoesFileExist(Win("missing\\file.txt").c_str()), 0);

  EXPECT_EQ(DoesFolderExist(root_.string().c_str()), 1);
  EXPECT_EQ(DoesFolderExist((root_.string() + "\\").c_str()), 1);
  EXPECT_EQ(DoesFolderExist(Win("file.txt").c_str()), 0);
  EXPECT_EQ(DoesFolderExist(Win("missing").c_str()), 0);
  EXPECT_EQ(DoesFolderExist(NULL), 0);
}

TEST_F(PathsOnDisk, EnsureFolderExistCreatesOnlyTheLastLevel) {
  MakeFile("file.txt");
  EXPECT_EQ(EnsureFolderExist(Win("file.txt").c_str()), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(root_ / "file.txt"));

  CString sub(root_.string().c_str());
  AppendPath(sub, "sub");
  EXPECT_EQ(EnsureFolderExist(sub), 1);
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "sub"));
  EXPECT_EQ(EnsureFolderExist(sub), 1);

  EXPECT_EQ(EnsureFolderExist(Win("a\\b").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(root_ / "a"));
}

TEST_F(PathsOnDisk, GetLongFileNameGivesTheLastComponent) {
  MakeFile("Long Name.document.txt");
  char name[MAX_PATH];
  EXPECT_EQ(GetLongFileName(name, Win("Long Name.document.txt").c_str()), 1);
  EXPECT_STREQ(name, "Long Name.document.txt");
  EXPECT_EQ(GetLongFileName(name, Win("Long*").c_str()), 1);
  EXPECT_STREQ(name, "Long Name.document.txt");

  std::string missing = Win("missing.txt");
  EXPECT_EQ(GetLongFileName(name, missing.c_str()), 0);
  EXPECT_EQ(name, missing);

  // A missing path too long for the buffer is cut, never written past it.
  std::string longPath = Win(std::string(400, 'z'));
  char guarded[MAX_PATH + 16];
  memset(guarded, '#', sizeof guarded);
  EXPECT_EQ(GetLongFileName(guarded, longPath.c_str()), 0);
  EXPECT_EQ(std::string(guarded), longPath.substr(0, MAX_PATH - 1));
  EXPECT_EQ(guarded[MAX_PATH], '#');
}

TEST_F(PathsOnDisk, EnumFileCallsBackWithBareNames) {
  for (const char* name : {"a.ini", "b.ini", "c.txt", "d.ini.bak", "(1).ini", "123.ini", ".ini"}) MakeFile(name);
  std::filesystem::create_directory(root_ / "folder.ini");

  Calls calls;
  EXPECT_EQ(EnumFile(root_.string().c_str(), "ini", Collect, Track(&calls)), 1);
  std::sort(calls.names.begin(), calls.names.end());
  EXPECT_EQ(calls.names, (std::vector<std::string>{"", "(1)", "123", "a", "b", "folder"}));

  Calls first;
  first.stopAfter = 1;
  EXPECT_EQ(EnumFile(root_.string().c_str(), "ini", Collect, Track(&first)), 1);
  EXPECT_EQ(first.names.size(), 1u);

  Calls none;
  EXPECT_EQ(EnumFile(root_.string().c_str(), "xyz", Collect, Track(&none)), 0);
  EXPECT_EQ(EnumFile(Win("missing").c_str(), "ini", Collect, Track(&none)), 0);
  EXPECT_TRUE(none.names.empty());
}

TEST_F(PathsOnDisk, EnumFileWithWildcardExtensionsCutsInsideTheName) {
  for (const char* name : {"a.ini", "bb.txt", "noext", "x.y"}) MakeFile(name);
  for (const char* ext : {"*", "?", "*.*", "**", "???", "i*"}) {
    Calls calls;
    EnumFile(root_.string().c_str(), ext, Collect, Track(&calls));
    size_t cut = strlen(ext) + 1;
    for (const std::string& name : calls.names) {
      bool fromAnEntry = false;
      for (const char* entry : {".", "..", "a.ini", "bb.txt", "noext", "x.y"}) {
        size_t length = strlen(entry);
        fromAnEntry = fromAnEntry || name == std::string(entry, length > cut ? length - cut : 0);
      }
      EXPECT_TRUE(fromAnEntry) << ext << ": " << name;
    }
  }
  Calls star;
  EnumFile(root_.string().c_str(), "*", Collect, Track(&star));
  EXPECT_EQ(star.names.size(), 6u);
}
