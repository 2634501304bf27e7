#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "korvex/platform.h"

namespace {

typedef std::vector<std::string> Names;

class PosixFiles : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = ::testing::TempDir() + "korvex_files_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(mkdir(root_.c_str(), 0755), 0);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void MakeFile(const std::string& name, const std::string& content = "") {
    FILE* file = fopen((root_ + "/" + name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs(content.c_str(), file);
    fclose(file);
  }

  // Every name FindFirstFileA/FindNextFileA deliver for the pattern, sorted.
  Names Find(const std::string& pattern) {
    Names names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((root_ + "\\" + pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string root_;
};

}  // namespace

TEST_F(PosixFiles, WildcardsFollowWin32Rules) {
  const Names all = {".", "..", ".hidden", "a.b.c", "a.txt", std::string(200, 'a'), "b.TXT", "noext", "sub"};
  for (size_t i = 2; i + 1 < all.size(); ++i) MakeFile(all[i]);
  mkdir((root_ + "/sub").c_str(), 0755);
  struct Case {
    std::string pattern;
    Names names;
  } cases[] = {
      {"*", all},
      {"*.*", all},
      {"*.txt", {"a.txt"}},
      {"?.txt", {"a.txt"}},
      {"a.*", {"a.b.c", "a.txt"}},
      {"noext.*", {"noext"}},
      {"no???", {"noext"}},
      {"noext??", {"noext"}},
      {"n*t", {"noext"}},
      {"*.b.*", {"a.b.c"}},
      // "?" does not stand for a dot, and a plain name is not a prefix pattern.
      {"a?txt", {}},
      {"??", {}},
      {"noex", {}},
      // A long run of stars over a long name stays fast.
      {std::string(100, '*') + "z", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.pattern), c.names) << c.pattern;
}

TEST_F(PosixFiles, FailuresSetWin32Errors) {
  struct Case {
    const char* name;
    DWORD error;
  } cases[] = {{"missing", ERROR_FILE_NOT_FOUND},
               {"*.none", ERROR_FILE_NOT_FOUND},
               {"nodir\\*", ERROR_PATH_NOT_FOUND},
               {"nodir\\x", ERROR_PATH_NOT_FOUND}};
  WIN32_FIND_DATAA data;
  for (const Case& c : cases) {
    EXPECT_EQ(FindFirstFileA((root_ + "\\" + c.name).c_str(), &data), INVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    if (strchr(c.name, '*')) continue;
    EXPECT_EQ(GetFileAttributesA((root_ + "\\" + c.name).c_str()), INVALID_FILE_ATTRIBUTES) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  // A trailing separator names no entry.
  EXPECT_EQ(FindFirstFileA((root_ + "\\").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA(NULL, &data), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(FindNextFileA(NULL, &data));
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);

  std::string sub = root_ + "\\sub";
  EXPECT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
  EXPECT_FALSE(CreateDirectoryA(sub.c_str(), NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA((root_ + "\\a\\b").c_str(), NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(PosixFiles, AttributesSizesAndTimes) {
  MakeFile("big.bin", std::string(70000, 'x'));
  MakeFile(".h");
  MakeFile("ro");
  chmod((root_ + "/ro").c_str(), 0444);
  time_t now = time(NULL);

  // A name without wildcards finds that entry alone.
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((root_ + "\\big.bin").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "big.bin");
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  uint64_t written =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  uint64_t expected = (static_cast<uint64_t>(now) + 11644473600ull) * 10000000ull;
  EXPECT_LT(written > expected ? written - expected : expected - written, 20ull * 10000000ull);
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  // The folder itself, by a path that mixes both separators.
  size_t slash = root_.rfind('/');
  search = FindFirstFileA((root_.substr(0, slash) + "\\" + root_.substr(slash + 1)).c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName + std::string("|") + std::to_string(data.dwFileAttributes),
            root_.substr(slash + 1) + "|" + std::to_string(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(search);

  // A leading dot hides a name, but not "." and "..", also when named relatively.
  struct Case {
    std::string path;
    DWORD attributes;
  } cases[] = {{"big.bin", FILE_ATTRIBUTE_NORMAL},      {".h", FILE_ATTRIBUTE_HIDDEN},
               {"ro", FILE_ATTRIBUTE_READONLY},         {".", FILE_ATTRIBUTE_DIRECTORY},
               {"..", FILE_ATTRIBUTE_DIRECTORY},        {root_ + "\\.h", FILE_ATTRIBUTE_HIDDEN},
               {root_ + "\\", FILE_ATTRIBUTE_DIRECTORY}};
  char saved[4096];
  ASSERT_TRUE(getcwd(saved, sizeof saved) && chdir(root_.c_str()) == 0);
  for (const Case& c : cases) EXPECT_EQ(GetFileAttributesA(c.path.c_str()), c.attributes) << c.path;
  ASSERT_EQ(chdir(saved), 0);
}

TEST(SplitPath, PartsAsTheWindowsRuntimeGivesThem) {
  struct Case {
    const char *path, *drive, *dir, *fname, *ext;
  } cases[] = {
      {"C:\\dir\\sub\\name.ext", "C:", "\\dir\\sub\\", "name", ".ext"},
      {"/usr/lib/x.so.1", "", "/usr/lib/", "x.so", ".1"},
      {"dir.d\\name", "", "dir.d\\", "name", ""},
      {"1:abc", "1:", "", "abc", ""},
      {"a\\C:b.c", "", "a\\", "C:b", ".c"},
      {".profile", "", "", "", ".profile"},
      {"a.", "", "", "a", "."},
      {"\\\\srv\\share\\", "", "\\\\srv\\share\\", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, c.drive);
    EXPECT_STREQ(dir, c.dir);
    EXPECT_STREQ(fname, c.fname);
    EXPECT_STREQ(ext, c.ext);
  }
  // Parts not asked for are skipped; overlong ones are cut to their buffers.
  std::string path = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'n') + "." + std::string(300, 'e');
  char dir[_MAX_DIR + 1], fname[_MAX_FNAME + 1];
  dir[_MAX_DIR] = fname[_MAX_FNAME] = '#';
  _splitpath(path.c_str(), NULL, dir, fname, NULL);
  EXPECT_EQ(dir, "\\" + std::string(254, 'd'));
  EXPECT_EQ(fname, std::string(255, 'n'));
  EXPECT_EQ(dir[_MAX_DIR], '#');
  EXPECT_EQ(fname[_MAX_FNAME], '#');
}
