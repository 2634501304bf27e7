// Sizes past what a string holds (INT_MAX bytes). Linux only: the texts are
// sparse files and one small block mapped many times over, so they cost
// address space, not memory.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

#if defined(__SANITIZE_ADDRESS__)
#define KORVEX_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEX_UNDER_SANITIZER 1
#endif
#endif

namespace {

const size_t kPastIntMax = static_cast<size_t>(INT_MAX) + 1;

// `length` bytes of `c` (a multiple of 2 MiB) followed by a zero byte.
class RepeatedText {
public:
  RepeatedText(char c, size_t length) : m_size(length + kPage) {
    int fd = memfd_create("korvex-text", 0);
    EXPECT_EQ(ftruncate(fd, kBlock), 0);
    void* block = mmap(NULL, kBlock, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    memset(block, c, kBlock);
    munmap(block, kBlock);
    // Reserve the whole range, then lay the block over it again and again;
    // the page after it stays zero.
    m_base = static_cast<char*>(mmap(NULL, m_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    for (size_t at = 0; at < length; at += kBlock)
      EXPECT_NE(mmap(m_base + at, kBlock, PROT_READ, MAP_SHARED | MAP_FIXED | MAP_POPULATE, fd, 0), MAP_FAILED);
    close(fd);
  }
  ~RepeatedText() { munmap(m_base, m_size); }
  const char* c_str() const { return m_base; }

private:
  static const size_t kBlock = 2 << 20;
  static const size_t kPage = 4096;
  char* m_base;
  size_t m_size;
};

long PeakKilobytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + "korvex_limits_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace

// A line no string can hold ends the reading, without taking its size in memory.
TEST(Limits, ReadStringRefusesALineLongerThanAString) {
  std::string path = TempPath("long_line.txt");
  int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, "x", 1, 0), 1);
  ASSERT_EQ(pwrite(fd, "\nnext\n", 6, static_cast<off_t>(kPastIntMax)), 6);  // a hole between
  close(fd);

  long before = PeakKilobytes();
  CStdioFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead));
  CString line("left over");
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_EQ(line.GetLength(), 0);
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_TRUE(file.Close());
  EXPECT_LT(PeakKilobytes() - before, 256 * 1024);
  remove(path.c_str());
}

TEST(Limits, ParseUrlRefusesTextLongerThanAString) {
  RepeatedText host('h', kPastIntMax);
  CUrlInfo url;
  url.m_strHost = "before";
  EXPECT_EQ(url.ParseURL(host.c_str()), 0);
  EXPECT_EQ(url.m_strHost.GetLength(), 0);
}

TEST(Limits, MakeUrlRefusesTextLongerThanAString) {
  CUrlInfo url;
  // Every "/" becomes "%2F": a third of the limit grows past it.
  const int third = INT_MAX / 3 + 1;
  memset(url.m_strHost.GetBufferSetLength(third), '/', static_cast<size_t>(third));
  CString text("left over");
  EXPECT_EQ(url.MakeURL(text), 0);
  EXPECT_EQ(text.GetLength(), 0);
}

TEST(Limits, FormatPastAStringGivesTheEmptyText) {
  const int half = INT_MAX / 2 + 1;
  CString text("left over");
  text.Format("%*s%*s", half, "", half, "");
  EXPECT_EQ(text.GetLength(), 0);
}

// A model whose text passes INT_MAX bytes is written whole. It holds about
// 2 GiB, so the sanitizers' larger heap skips it.
TEST(Limits, IniWriteOfAModelPastAString) {
#if defined(KORVEX_UNDER_SANITIZER)
  GTEST_SKIP() << "needs 2 GiB of heap";
#endif
  const size_t half = kPastIntMax / 2;
  CIniFile ini;
  {
    RepeatedText value('v', half);
    ini.SetValue("s", "k1", value.c_str());
    ini.SetValue("s", "k2", value.c_str());
  }
  // Into a pipe, counted as it comes: no 2 GiB on the disk.
  std::string fifo = TempPath("ini.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  uint64_t total = 0;
  std::string head;
  std::thread reader([&] {
    int fd = open(fifo.c_str(), O_RDONLY);
    static char chunk[1 << 16];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0; total += static_cast<uint64_t>(n))
      if (head.size() < 12) head.append(chunk, static_cast<size_t>(n) < 12 ? static_cast<size_t>(n) : 12);
    close(fd);
  });
  EXPECT_EQ(ini.Write(fifo.c_str()), 1);
  reader.join();
  remove(fifo.c_str());
  EXPECT_EQ(total, 5 + 2 * (3 + half + 2));
  EXPECT_EQ(head.substr(0, 12), "[s]\r\nk1=vvvv");
}
