#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "korvex/types.h"
#include "tests/support/scratch_registry.h"

namespace {

typedef std::vector<std::string> Names;

class PosixFiles : public ::testing::Test {
protected:
  void MakeFile(const std::string& name, const std::string& content = "") {
    ASSERT_TRUE(std::ofstream(root_ + "/" + name) << content);
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

  ScratchFolder scratch_;
  const std::string root_ = scratch_.path();
};

// A file that cannot seek (a pipe) is read as it comes: a line longer than
// the read buffer whole, its "\r\n" gone in text mode.
TEST_F(PosixFiles, StdioFileReadsAPipeAsItComes) {
  const std::string fifo = root_ + "/pipe", longLine(100000, 'x');
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::thread writer([&] { std::ofstream(fifo) << "a\n" + longLine + "\r\nlast"; });
  CStdioFile piped;
  std::string seen;
  CString line;
  if (piped.Open(fifo.c_str(), CStdioFile::modeRead))
    while (piped.ReadString(line)) seen += "[" + std::string(line) + "]";
  writer.join();
  EXPECT_EQ("[a][" + longLine + "][last]", seen);
}

}  // namespace

TEST_F(PosixFiles, WildcardsFollowWin32Rules) {
  const Names all = {".", "..", ".hidden", "a.b.c", "a.txt", std::string(200, 'a'), "b.TXT", "noext", "sub"};
  for (size_t i = 2; i + 1 < all.size(); ++i) MakeFile(all[i]);
  mkdir((root_ + "/sub").c_str(), 0755);
  const std::pair<std::string, Names> cases[] = {
      {"*", all},
      {"*.*", all},
      {"*.txt", {"a.txt"}},
      {"a.*", {"a.b.c", "a.txt"}},
      {"noext.*", {"noext"}},
      {"no???", {"noext"}},
      {"noext??", {"noext"}},
      {"*.b.*", {"a.b.c"}},
      // "?" does not stand for a dot, and a plain name is not a prefix pattern.
      {"a?txt", {}},
      {"??", {}},
      {"noex", {}},
      // A long run of stars over a long name stays fast.
      {std::string(100, '*') + "z", {}},
  };
  for (const auto& [pattern, names] : cases) EXPECT_EQ(Find(pattern), names) << pattern;
}

TEST_F(PosixFiles, FailuresSetWin32Errors) {
  const std::pair<const char*, DWORD> cases[] = {{"missing", ERROR_FILE_NOT_FOUND},
                                                 {"*.none", ERROR_FILE_NOT_FOUND},
                                                 {"nodir\\*", ERROR_PATH_NOT_FOUND},
                                                 {"nodir\\x", ERROR_PATH_NOT_FOUND}};
  WIN32_FIND_DATAA data;
  for (const auto& [name, error] : cases) {
    const std::string path = root_ + "\\" + name;
    EXPECT_TRUE(FindFirstFileA(path.c_str(), &data) == INVALID_HANDLE_VALUE && GetLastError() == error) << name;
    EXPECT_TRUE(strchr(name, '*') ||
                (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == error))
        << name;
  }
  // A trailing separator names no entry.
  EXPECT_EQ(FindFirstFileA((root_ + "\\").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA(NULL, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA((root_ + "\\*").c_str(), NULL), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE) || FindNextFileA(NULL, &data));
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
  EXPECT_EQ(data.cFileName + ("|" + std::to_string(data.nFileSizeLow)) + "|" + std::to_string(data.dwFileAttributes),
            "big.bin|70000|" + std::to_string(FILE_ATTRIBUTE_NORMAL));
  uint64_t written =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  uint64_t expected = (static_cast<uint64_t>(now) + 11644473600ull) * 10000000ull;
  EXPECT_LT(written > expected ? written - expected : expected - written, 20ull * 10000000ull);
  EXPECT_TRUE(!FindNextFileA(search, &data) && GetLastError() == ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  // The folder itself, by a path that mixes both separators.
  size_t slash = root_.rfind('/');
  search = FindFirstFileA((root_.substr(0, slash) + "\\" + root_.substr(slash + 1)).c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName + std::string("|") + std::to_string(data.dwFileAttributes),
            root_.substr(slash + 1) + "|" + std::to_string(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(search);

  // A leading dot hides a name, but not "." and "..", also when named relatively.
  const std::pair<std::string, DWORD> cases[] = {
      {"big.bin", FILE_ATTRIBUTE_NORMAL},      {".h", FILE_ATTRIBUTE_HIDDEN},
      {"ro", FILE_ATTRIBUTE_READONLY},         {".", FILE_ATTRIBUTE_DIRECTORY},
      {"..", FILE_ATTRIBUTE_DIRECTORY},        {root_ + "\\.h", FILE_ATTRIBUTE_HIDDEN},
      {root_ + "\\", FILE_ATTRIBUTE_DIRECTORY}};
  char saved[4096];
  ASSERT_TRUE(getcwd(saved, sizeof saved) && chdir(root_.c_str()) == 0);
  for (const auto& [path, attributes] : cases) EXPECT_EQ(GetFileAttributesA(path.c_str()), attributes) << path;
  ASSERT_EQ(chdir(saved), 0);
}

// Where the parts split is checked through ReplaceFnameOfPath on both targets.
TEST(SplitPath, PartsNotAskedForAreSkippedAndOverlongOnesCut) {
  char dir[_MAX_DIR + 1], fname[_MAX_FNAME + 1];
  dir[_MAX_DIR] = fname[_MAX_FNAME] = '#';
  std::string path = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'n') + "." + std::string(300, 'e');
  _splitpath(path.c_str(), NULL, dir, fname, NULL);
  EXPECT_EQ(dir + ("|" + std::string(fname)) + "|" + dir[_MAX_DIR] + fname[_MAX_FNAME],
            "\\" + std::string(254, 'd') + "|" + std::string(255, 'n') + "|##");
}
