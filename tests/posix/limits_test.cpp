// Sizes past what a string holds (INT_MAX bytes): no int overflows. Linux only:
// the long line is a sparse file, read without taking its size in memory.
#include <fcntl.h>
#include <limits.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

static long PeakKilobytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(Limits, ReadStringRefusesALineLongerThanAString) {
  std::string path = ::testing::TempDir() + "korvex_limits_" + std::to_string(getpid()) + ".txt";
  int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, "x", 1, 0), 1);
  ASSERT_EQ(pwrite(fd, "\nnext\n", 6, static_cast<off_t>(INT_MAX) + 1), 6);  // a hole between
  close(fd);
  long before = PeakKilobytes();
  CStdioFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead));
  CString line("left over");
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_EQ(line.GetLength(), 0);
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_LT(PeakKilobytes() - before, 256 * 1024);
  remove(path.c_str());
}

TEST(Limits, FormatAndMakeUrlPastAStringGiveTheEmptyText) {
  const int half = INT_MAX / 2 + 1;
  CString text("left over");
  text.Format("%*s%*s", half, "", half, "");
  EXPECT_EQ(text.GetLength(), 0);

  CUrlInfo url;  // every "/" becomes "%2F": a third of the limit grows past it
  const int third = INT_MAX / 3 + 1;
  memset(url.m_strHost.GetBufferSetLength(third), '/', static_cast<size_t>(third));
  text = "left over";
  EXPECT_EQ(url.MakeURL(text), 0);
  EXPECT_EQ(text.GetLength(), 0);
}
