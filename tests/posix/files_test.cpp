#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "korvex/url.h"

namespace {

class PosixFiles : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = ::testing::TempDir() + "korvex_files_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(mkdir(root_.c_str(), 0755), 0);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void MakeFile(const std::string& name, const char* content = "") {
    FILE* file = fopen((root_ + "/" + name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs(content, file);
    fclose(file);
  }

  // Every name FindFirstFileA/FindNextFileA deliver for the pattern, sorted.
  std::vector<std::string> Find(const std::string& pattern) {
    std::vector<std::string> names;
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

typedef std::vector<std::string> Names;

}  // namespace

TEST_F(PosixFiles, WildcardsFollowWin32Rules) {
  for (const char* name : {"a.txt", "b.TXT", "noext", ".hidden", "a.b.c"}) MakeFile(name);
  mkdir((root_ + "/sub").c_str(), 0755);

  EXPECT_EQ(Find("*"), (Names{".", "..", ".hidden", "a.b.c", "a.txt", "b.TXT", "noext", "sub"}));
  EXPECT_EQ(Find("*.*"), Find("*"));
  EXPECT_EQ(Find("*.txt"), (Names{"a.txt"}));
  EXPECT_EQ(Find("?.txt"), (Names{"a.txt"}));
  EXPECT_EQ(Find("a.*"), (Names{"a.b.c", "a.txt"}));
  EXPECT_EQ(Find("noext.*"), (Names{"noext"}));
  EXPECT_EQ(Find("no???"), (Names{"noext"}));
  EXPECT_EQ(Find("noext??"), (Names{"noext"}));
  EXPECT_EQ(Find("n*t"), (Names{"noext"}));
  EXPECT_EQ(Find("*.b.*"), (Names{"a.b.c"}));
  // "?" does not stand for a dot, and a plain name is not a prefix pattern.
  EXPECT_EQ(Find("a?txt"), Names{});
  EXPECT_EQ(Find("??"), Names{});
  EXPECT_EQ(Find("*.ini"), Names{});
  // A long run of stars over a long name stays fast.
  std::string longName(200, 'a');
  MakeFile(longName);
  EXPECT_EQ(Find(std::string(100, '*') + "z"), Names{});
}

TEST_F(PosixFiles, NameWithoutWildcardsFindsThatEntry) {
  MakeFile("file.txt", "hello");
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((root_ + "\\file.txt").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "file.txt");
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_STREQ(data.cAlternateFileName, "");
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));

  // The folder itself, by a path that mixes both separators.
  std::string parent = root_.substr(0, root_.rfind('/'));
  std::string leaf = root_.substr(root_.rfind('/') + 1);
  search = FindFirstFileA((parent + "\\" + leaf).c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName, leaf);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(search);
}

TEST_F(PosixFiles, FindFailuresSetWin32Errors) {
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA((root_ + "\\missing").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((root_ + "\\*.none").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((root_ + "\\nodir\\*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((root_ + "\\nodir\\x").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  // A trailing separator names no entry.
  EXPECT_EQ(FindFirstFileA((root_ + "\\").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA(NULL, &data), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(FindNextFileA(NULL, &data));
}

TEST_F(PosixFiles, AttributesSizesAndTimes) {
  std::string big(70000, 'x');
  MakeFile("big.bin", big.c_str());
  MakeFile(".dot");
  MakeFile("ro");
  chmod((root_ + "/ro").c_str(), 0444);
  time_t now = time(NULL);

  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((root_ + "/big.bin").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  uint64_t written =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  uint64_t expected = (static_cast<uint64_t>(now) + 11644473600ull) * 10000000ull;
  EXPECT_LT(written > expected ? written - expected : expected - written, 20ull * 10000000ull);

  EXPECT_EQ(GetFileAttributesA((root_ + "\\big.bin").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA((root_ + "\\.dot").c_str()), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributesA((root_ + "\\ro").c_str()), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesA(root_.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA((root_ + "\\").c_str()), FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_EQ(GetFileAttributesA((root_ + "\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA((root_ + "\\nodir\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PosixFiles, CreateDirectoryReportsWin32Errors) {
  std::string sub = root_ + "\\sub";
  EXPECT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
  struct stat info;
  ASSERT_EQ(stat((root_ + "/sub").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(CreateDirectoryA(sub.c_str(), NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA((root_ + "\\a\\b").c_str(), NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(SplitPath, PartsAsTheWindowsRuntimeGivesThem) {
  struct Case {
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
  } cases[] = {
      {"C:\\dir\\sub\\name.ext", "C:", "\\dir\\sub\\", "name", ".ext"},
      {"/usr/lib/x.so.1", "", "/usr/lib/", "x.so", ".1"},
      {"name", "", "", "name", ""},
      {"dir.d\\name", "", "dir.d\\", "name", ""},
      {"1:abc", "1:", "", "abc", ""},
      {"a\\C:b.c", "", "a\\", "C:b", ".c"},
      {".profile", "", "", "", ".profile"},
      {"a.", "", "", "a", "."},
      {"C:", "C:", "", "", ""},
      {"\\\\srv\\share\\", "", "\\\\srv\\share\\", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, c.drive) << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(fname, c.fname) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
  }
  char fname[_MAX_FNAME];
  _splitpath("C:\\x\\only.name", NULL, NULL, fname, NULL);
  EXPECT_STREQ(fname, "only");
}

TEST(SplitPath, OverlongPartsAreCutToTheirBuffers) {
  std::string path = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'n') + "." + std::string(300, 'e');
  char drive[_MAX_DRIVE], dir[_MAX_DIR + 1], fname[_MAX_FNAME + 1], ext[_MAX_EXT + 1];
  dir[_MAX_DIR] = fname[_MAX_FNAME] = ext[_MAX_EXT] = '#';
  _splitpath(path.c_str(), drive, dir, fname, ext);
  EXPECT_STREQ(drive, "C:");
  EXPECT_EQ(dir, "\\" + std::string(254, 'd'));
  EXPECT_EQ(fname, std::string(255, 'n'));
  EXPECT_EQ(ext, "." + std::string(254, 'e'));
  EXPECT_EQ(dir[_MAX_DIR], '#');
  EXPECT_EQ(fname[_MAX_FNAME], '#');
  EXPECT_EQ(ext[_MAX_EXT], '#');
}

// Run by the next test from a copy of this program in a folder too long for
// _splitpath.
TEST(ProductBesideTheProgram, DISABLED_InAFolderOfAnOverlongName) {
  CString path;
  EXPECT_NE(GetProductPath("Torvik", path), 3u) << static_cast<const char*>(path);
}

TEST_F(PosixFiles, ProductBesideAProgramInAnOverlongFolderIsNotAWorkingFolderName) {
  MakeFile("Torvik");
  // A folder part of 256 characters, in a path that still fits MAX_PATH.
  std::string folder = root_ + "/" + std::string(254 - root_.size(), 'd'), copy = folder + "/p";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  ASSERT_TRUE(std::filesystem::copy_file("/proc/self/exe", copy));
  pid_t child = fork();
  if (child == 0) {
    if (chdir(root_.c_str()) == 0)
      execl(copy.c_str(), copy.c_str(), "--gtest_also_run_disabled_tests",
            "--gtest_filter=ProductBesideTheProgram.DISABLED_InAFolderOfAnOverlongName", (char*)NULL);
    _exit(127);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
