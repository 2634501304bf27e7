#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <thread>
#include <vector>

#include "korvex/types.h"
#include "tests/support/scratch_registry.h"

TEST(CString, PartsClampAndItsOwnTextIsASource) {
  CString s("a::b:c");
  EXPECT_EQ((std::vector<int>{s.Find("::"), s.Find('z'), s.Find(':', 3), s.Find('a', 0), s.ReverseFind(':'),
                              s.ReverseFind('z')}),
            (std::vector<int>{1, -1, 4, 0, 4, -1}));
  std::vector<std::string> parts;
  for (const CString& part : {s.Left(100), s.Right(100), s.Right(1), s.Mid(4), s.Mid(2, 2), s.Left(-1)})
    parts.push_back(static_cast<const char*>(part));
  EXPECT_EQ(parts, (std::vector<std::string>{"a::b:c", "a::b:c", "c", ":c", ":b", ""}));
  // A source inside the string itself is read before its block goes.
  CString a("text");
  CString b(a);
  b += "more";
  a += a;
  EXPECT_STREQ(a, "texttext");
  a = static_cast<const char*>(a) + 4;
  a.Format("%s-%s", static_cast<const char*>(a), static_cast<const char*>(b));
  EXPECT_STREQ(a, "text-textmore");
  snprintf(a.GetBufferSetLength(260), 260, "C:\\dir");
  a.ReleaseBuffer(-1);  // ends at the first zero byte
  EXPECT_EQ(a.GetLength(), 6);
}

// Every comparison follows one order: bytes over the whole length, unsigned,
// a text that starts the other first; a C text ends at its zero byte.
TEST(CString, OneOrderForEveryComparison) {
  struct Case {
    std::string a, b;
    int order;
  } cases[] = {
      {std::string("a\0b", 3), std::string("a\0c", 3), -1},
      {std::string("a\0b", 3), "a", 1},
      {"a", std::string("a\0", 2), -1},
      {"b", "abc", 1},
      {"\xff", "a", 1},
      {std::string("x\0y", 3), std::string("x\0y", 3), 0},
  };
  for (const Case& c : cases) {
    CString a(c.a.data(), static_cast<int>(c.a.size())), b(c.b.data(), static_cast<int>(c.b.size()));
    SCOPED_TRACE(::testing::PrintToString(c.a) + " vs " + ::testing::PrintToString(c.b));
    EXPECT_EQ(a == b, c.order == 0);
    EXPECT_EQ(a != b, c.order != 0);
    EXPECT_EQ(a < b, c.order < 0);
    EXPECT_EQ(a > b, c.order > 0);
    EXPECT_EQ(a <= b, c.order <= 0);
    EXPECT_EQ(a >= b, c.order >= 0);
    if (c.b.find('\0') != std::string::npos) continue;
    const char* text = c.b.c_str();
    EXPECT_EQ((a.Compare(text) > 0) - (a.Compare(text) < 0), c.order);
    EXPECT_EQ(a == text, c.order == 0);
    EXPECT_EQ(text == a, c.order == 0);
    EXPECT_EQ(a < text, c.order < 0);
    EXPECT_EQ(text<a, c.order> 0);
    EXPECT_EQ(a > text, c.order > 0);
  }
}

TEST(CMap, EnumeratesNewestFirstAndLooksUpExactly) {
  CMapStringToString map;
  for (const char* key : {"a", "b", "c"}) map[key] = key;
  map["b"] = "two";  // replacing keeps the association's place
  EXPECT_TRUE(map.RemoveKey("a"));
  EXPECT_FALSE(map.RemoveKey("a"));
  CString key, value;
  EXPECT_TRUE(map.Lookup("b", value) && value == "two");
  EXPECT_FALSE(map.Lookup("B", value));
  std::string seen;
  for (POSITION pos = map.GetStartPosition(); pos;) {
    map.GetNextAssoc(pos, key, value);
    seen += std::string(key) + "=" + std::string(value) + ";";
  }
  EXPECT_EQ(seen, "c=c;b=two;");
  // New entries hold NULL and survive the table's growth.
  CMapStringToPtr pointers;
  EXPECT_EQ(pointers["x"], nullptr);
  for (int i = 0; i < 10000; ++i) pointers[CString(std::to_string(i).c_str())] = &map;
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(pointers.RemoveKey(std::to_string(i).c_str())) << i;
  EXPECT_EQ(pointers.GetCount(), 1);
}

class StdioFileTest : public ::testing::Test {
protected:
  ScratchFolder dir;
  std::string path = dir / "file.txt";
  void Put(const char* bytes) { WriteFileBytes(path, bytes); }
  std::string Raw() { return ReadFileBytes(path); }
};

TEST_F(StdioFileTest, ReadsBothLineEndsAndWritesWhereReadingGotTo) {
  const std::string longLine(100000, 'x');  // past the read buffer: measured, then read whole
  WriteFileBytes(path, "a\r\nb\nc\rd\n\n" + longLine + "\r\nlast");
  CStdioFile file;
  ASSERT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead));
  CString line;
  std::string seen;
  while (file.ReadString(line)) seen += std::string("[") + static_cast<const char*>(line) + "]";
  EXPECT_EQ(seen, "[a][b][c\rd][][" + longLine + "][last]");
  file.Close();
  // A short last read leaves the previous one's lines behind it in the buffer.
  std::string full;
  while (full.size() < 64 * 1024) full += "1234567\n";
  WriteFileBytes(path, full + "1\nlast");
  ASSERT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead));
  while (file.ReadString(line) && line != "1") {
  }
  EXPECT_TRUE(file.ReadString(line) && line == "last");
  file.Close();
  Put("one\r\ntwo\r\nthree\r\n");
  ASSERT_TRUE(file.Open(path.c_str(), CStdioFile::modeReadWrite));
  EXPECT_TRUE(file.ReadString(line) && line == "one");
  EXPECT_TRUE(file.WriteString("TWO\n"));
  EXPECT_TRUE(file.ReadString(line) && line == "three");
  EXPECT_FALSE(file.ReadString(line));
  EXPECT_TRUE(file.WriteString("four\n"));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(Raw(), "one\r\nTWO\r\nthree\r\nfour\r\n");
}

TEST_F(StdioFileTest, ModesAsTheFlagsSayThemOrFailure) {
  const UINT create = CStdioFile::modeCreate, keep = CStdioFile::modeNoTruncate, write = CStdioFile::modeWrite,
             both = CStdioFile::modeReadWrite;
  struct Case {
    UINT flags;
    bool exists;
    const char *firstLine, *written, *raw;  // NULL: reading or writing fails
  } cases[] = {
      {CStdioFile::modeRead, true, "old", NULL, "old\r\nx\r\n"},
      {write, true, NULL, "new\n", "new\r\nx\r\n"},
      {create | write, true, NULL, "new\n", "new\r\n"},
      {create | keep | both, true, "old", "add\n", "old\r\nx\r\nadd\r\n"},
      {create | keep | both, false, NULL, "add\n", "add\r\n"},
      {CStdioFile::typeBinary, true, "old\r", NULL, "old\r\nx\r\n"},
      {create | write | CStdioFile::typeBinary, true, NULL, "a\nb", "a\nb"},
      {write | both, true, NULL, NULL, "old\r\nx\r\n"},  // refused: the open fails
      {CStdioFile::typeText | CStdioFile::typeBinary, true, NULL, NULL, "old\r\nx\r\n"},
      {create, true, NULL, NULL, "old\r\nx\r\n"},
      {0x10, true, NULL, NULL, "old\r\nx\r\n"},  // sharing, which it does not implement
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    remove(path.c_str());
    if (c.exists) Put("old\r\nx\r\n");
    CStdioFile f;
    EXPECT_EQ(f.Open(path.c_str(), c.flags) != FALSE, c.firstLine || c.written);
    CString line("none");
    EXPECT_EQ(f.ReadString(line) != FALSE, c.firstLine != NULL);
    EXPECT_STREQ(line, c.firstLine ? c.firstLine : "");
    EXPECT_EQ(f.WriteString(c.written ? c.written : "refused\n") != FALSE, c.written != NULL);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(Raw(), c.raw);
  }
  CStdioFile folder;
  EXPECT_FALSE(folder.Open(dir.path().c_str(), CStdioFile::modeRead));
}

namespace {
// Whether another thread gets the mutex within 50 ms, and whether it may then release it.
std::string Other(CMutex& mutex) {
  std::string seen;
  std::thread([&] {
    seen = std::to_string(mutex.Lock(50) != FALSE);
    seen += std::to_string(mutex.Unlock() != FALSE);
  }).join();
  return seen;
}
}  // namespace

// Recursive for its owner, as a Win32 mutex is; only the owner releases it.
TEST(CMutex, OwnerTakesItAgainAndReleasesItAsOften) {
  CMutex mutex(TRUE);
  EXPECT_TRUE(mutex.Lock(1000));
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_EQ(Other(mutex), "00");  // held once more
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_EQ(Other(mutex), "11");
  {
    CSingleLock lock(&mutex, TRUE);
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_EQ(Other(mutex), "00");
  }
  EXPECT_EQ(Other(mutex), "11");  // released by the lock's destruction
}
