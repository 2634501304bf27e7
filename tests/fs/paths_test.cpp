#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "korvex/paths.h"
#include "tests/support/scratch_registry.h"

namespace {

std::string Text(const CString& text) {
  return std::string(static_cast<const char*>(text), static_cast<size_t>(text.GetLength()));
}

std::vector<std::string> g_names;
size_t g_stopAfter = 0;  // 0: never stop

int Collect(const char* name, long data) {
  EXPECT_EQ(data, 42L);
  g_names.push_back(name);
  return g_names.size() != g_stopAfter;
}

// EnumFile's result, then the names it called back with, sorted.
std::vector<std::string> Enumerated(const std::string& folder, const char* ext, size_t stopAfter = 0) {
  g_names.clear();
  g_stopAfter = stopAfter;
  int result = EnumFile(folder.c_str(), ext, Collect, 42);
  std::sort(g_names.begin(), g_names.end());
  g_names.insert(g_names.begin(), std::to_string(result));
  return g_names;
}

class PathsOnDisk : public ::testing::Test {
protected:
  void MakeFile(const std::string& name) { ASSERT_TRUE(std::ofstream(root_ / name).good()); }
  // The library's own form: the folder, a backslash, the name.
  std::string Win(const std::string& name) const { return root_.path() + "\\" + name; }

  ScratchFolder root_;
};

}  // namespace

TEST(AppendPath, JoinsAndResolves) {
  // Each row: the call, the path, the name, the result, the path afterwards.
  const std::tuple<int (*)(CString&, const char*), const char*, const char*, int, const char*> cases[] = {
      {AppendPath, "C:\\dir", "sub", 1, "C:\\dir\\sub"},
      {AppendPath, "C:\\dir\\", "\\sub", 1, "C:\\dir\\sub"},
      {AppendPath, "C:\\dir", "", 1, "C:\\dir\\"},
      {AppendPath, "", "x", 0, ""},
      {AppendPath, "C:\\dir", NULL, 0, "C:\\dir"},
      {AppendPathEx, "C:\\a\\b", "..\\x\\.\\y", 1, "C:\\a\\x\\y"},
      {AppendPathEx, "C:\\a", "..", 1, "C:"},
      {AppendPathEx, "C:\\a\\", "x", 1, "C:\\a\\\\x"},
      {AppendPathEx, "C:\\a", "...\\. \\.x", 1, "C:\\a\\...\\. \\.x"},
      // A backslash at the front of what is left makes the rest one component.
      {AppendPathEx, "C:\\a", "x\\\\..\\y", 1, "C:\\a\\x\\\\..\\y"},
      // ".." goes on cutting past the root, down to an empty path.
      {AppendPathEx, "\\\\", "..\\..\\..\\..", 1, ""},
      // The first two characters of a drive path are not examined.
      {AppendPathEx, "..\\", "..\\..\\y", 1, "..\\y"},
      {AppendPathEx, "C:\\a", "D:\\other", 1, "D:\\other"},
      {AppendPathEx, "C:\\a", "\\root", 1, "C:\\root"},
      // Only UNC paths and those with a backslash third count as absolute.
      {AppendPathEx, "a\\b", "x", 0, "a\\b"},
      {AppendPathEx, "C:", "x", 0, "C:"},
      {AppendPathEx, "C:\\a", NULL, 0, "C:\\a"},
  };
  for (const auto& [join, path, name, result, joined] : cases) {
    SCOPED_TRACE(std::string(path) + " + " + (name ? name : "NULL"));
    CString text(path);
    EXPECT_EQ(join(text, name), result);
    EXPECT_EQ(Text(text), joined);
  }
}

// The parts come from the runtime's _splitpath: its drive and folder, the new
// name, its extension.
TEST(ReplaceFnameOfPath, KeepsDriveFolderAndExtension) {
  const char* cases[][3] = {
      {"C:\\dir\\old.exe", "new.txt", "C:\\dir\\new.txt.exe"},
      {"/usr/lib/x.so.1", "N", "/usr/lib/N.1"},
      {"dir.d\\name", "N", "dir.d\\N"},
      {"1:abc", "N", "1:N"},
      {"a\\C:b.c", "N", "a\\N.c"},
      {".profile", "N", "N.profile"},
      {"a.", "N", "N."},
      {"\\\\srv\\share\\", "", "\\\\srv\\share\\"},
      {"C:old", NULL, "C:"},
  };
  for (const auto& [path, fname, replaced] : cases) {
    CString result("stale");
    ReplaceFnameOfPath(result, path, fname);
    EXPECT_EQ(Text(result), replaced) << path;
  }
}

// Each row: the name, then the result, the base and (with 1) the number.
// Names that do not end in a number in parentheses give 0 and the whole name.
TEST(SplitNameForSaveAs, TrailingNumberInParentheses) {
  const char* cases[][2] = {
      {"Report (1029)", "1|Report|1029"},
      {"Report()", "1|Report|0"},
      {"(7)", "1||7"},
      {"Report \t (3)", "1|Report|3"},
      {"a(1)(2)", "1|a(1)|2"},
      {"x (4294967297)", "1|x|1"},
      {"Report (1a)", "0|Report (1a)"},
      {"Report (12).txt", "0|Report (12).txt"},
      {"Report 12)", "0|Report 12)"},
  };
  for (const auto& [name, split] : cases) {
    CString base("stale");
    unsigned int number = 99;
    const int result = SplitNameForSaveAs(name, base, number);
    EXPECT_EQ(std::to_string(result) + "|" + Text(base) + (result ? "|" + std::to_string(number) : ""), split) << name;
  }
  // No name at all: nothing is written.
  CString base("untouched");
  unsigned int number = 5;
  EXPECT_EQ(SplitNameForSaveAs("", base, number) + SplitNameForSaveAs(NULL, base, number), 0);
  EXPECT_EQ(Text(base) + std::to_string(number), "untouched5");
}

TEST_F(PathsOnDisk, ExistenceAndCreation) {
  MakeFile("file.txt");
  // DoesFileExist, then DoesFolderExist.
  auto file = [&](const char* name) { return DoesFileExist(Win(name).c_str()); };
  auto folder = [&](const char* name) { return DoesFolderExist(Win(name).c_str()); };
  EXPECT_EQ((std::vector<int>{1, 1, 0}), (std::vector<int>{file("file.txt"), file("*.txt"), file("missing")}));
  EXPECT_EQ((std::vector<int>{1, 0, 0, 0}), (std::vector<int>{DoesFolderExist(root_.path().c_str()), folder("file.txt"),
                                                              folder("missing"), DoesFolderExist(NULL)}));
  // Whatever is there already counts; only the last level is created.
  EXPECT_EQ(EnsureFolderExist(Win("file.txt").c_str()) + EnsureFolderExist(Win("sub").c_str()), 2);
  EXPECT_TRUE(std::filesystem::is_regular_file(root_ / "file.txt") && std::filesystem::is_directory(root_ / "sub"));
  EXPECT_EQ(EnsureFolderExist(Win("a\\b").c_str()), 0);
}

TEST_F(PathsOnDisk, GetLongFileNameGivesTheLastComponent) {
  MakeFile("Long Name.document.txt");
  char name[MAX_PATH];
  EXPECT_EQ(GetLongFileName(name, Win("Long Name.document.txt").c_str()), 1);
  EXPECT_STREQ(name, "Long Name.document.txt");
  // A missing path comes back as it is, cut to the buffer, never written past it.
  std::string missing = Win(std::string(400, 'z'));
  char guarded[MAX_PATH + 1];
  guarded[MAX_PATH] = '#';
  EXPECT_EQ(GetLongFileName(guarded, missing.c_str()), 0);
  EXPECT_EQ(std::string(guarded) + guarded[MAX_PATH], missing.substr(0, MAX_PATH - 1) + "#");
}

TEST_F(PathsOnDisk, EnumFileCallsBackWithBareNames) {
  for (const char* name : {"a.ini", "c.txt", "d.ini.bak", "(1).ini", ".ini", "noext"}) MakeFile(name);
  std::filesystem::create_directory(root_ / "folder.ini");
  const std::string folder = root_.path();
  typedef std::vector<std::string> Names;
  EXPECT_EQ(Enumerated(folder, "ini"), (Names{"1", "", "(1)", "a", "folder"}));
  EXPECT_EQ(Enumerated(folder, "ini", 1).size(), 2u);
  EXPECT_EQ(Enumerated(folder, "xyz"), Names{"0"});
  EXPECT_EQ(Enumerated(Win("missing"), "ini"), Names{"0"});
  // A wildcard extension cuts inside the name; "." and ".." are cut to nothing.
  EXPECT_EQ(Enumerated(folder, "*"), (Names{"1", "", "", "(1).i", ".i", "a.i", "c.t", "d.ini.b", "folder.i", "noe"}));
}
