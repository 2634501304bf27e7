#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <string>
#include <thread>

#include "korvex/types.h"

TEST(CString, FindAndPartsClampToTheText) {
  CString s("a::b:c");
  EXPECT_EQ(s.Find("::"), 1);
  EXPECT_EQ(s.Find('z'), -1);
  EXPECT_EQ(s.Find(':', 3), 4);
  EXPECT_EQ(s.ReverseFind(':'), 4);
  EXPECT_EQ(s.ReverseFind('z'), -1);
  EXPECT_STREQ(s.Left(100), "a::b:c");
  EXPECT_STREQ(s.Right(100), "a::b:c");
  EXPECT_STREQ(s.Right(1), "c");
  EXPECT_STREQ(s.Mid(4), ":c");
  EXPECT_STREQ(s.Mid(2, 2), ":b");
  EXPECT_STREQ(s.Left(-1), "");
}

TEST(CString, DeleteFollowsTheIndexRules) {
  CString s("abcdef");
  s.Delete(2, 100);
  EXPECT_STREQ(s, "ab");
  s = "abcdef";
  s.Delete(-3, 1);
  EXPECT_STREQ(s, "bcdef");
  s.Delete(10, 1);
  s.Delete(1, 0);
  s.Delete(1, -4);
  EXPECT_STREQ(s, "bcdef");
}

TEST(CString, CopiesAreIndependentAndSelfOperationsWork) {
  CString a("text");
  CString b(a);
  b += "more";
  EXPECT_STREQ(a, "text");
  a += a;
  EXPECT_STREQ(a, "texttext");
  a = static_cast<const char*>(a) + 4;  // a source inside the string itself
  EXPECT_STREQ(a, "text");
  a.Format("%s-%s", static_cast<const char*>(a), static_cast<const char*>(a));
  EXPECT_STREQ(a, "text-text");
}

TEST(CString, FormatHasNoLengthLimit) {
  std::string big(100000, 'x');
  CString s;
  s.Format("[%s]%d", big.c_str(), -7);
  EXPECT_EQ(s.GetLength(), 100000 + 4);
  EXPECT_EQ(s.Right(3), "]-7");
}

TEST(CString, TrimAndCaseAndCompare) {
  CString s(" \t a B \r\n");
  s.TrimLeft();
  s.TrimRight();
  EXPECT_STREQ(s, "a B");
  s.MakeUpper();
  EXPECT_STREQ(s, "A B");
  s.MakeLower();
  EXPECT_STREQ(s, "a b");
  EXPECT_EQ(s.CompareNoCase("A B"), 0);
  EXPECT_LT(s.Compare("b"), 0);
  EXPECT_TRUE(s == "a b");
  EXPECT_TRUE("a b" == s);
  EXPECT_TRUE(s != CString("a"));
  EXPECT_TRUE(CString("a") < CString("b"));
}

TEST(CString, BufferReleaseEndsAtFirstZero) {
  CString s;
  char* p = s.GetBufferSetLength(260);
  snprintf(p, 260, "C:\\dir");
  s.ReleaseBuffer(-1);
  EXPECT_EQ(s.GetLength(), 6);
  EXPECT_STREQ(s, "C:\\dir");
}

TEST(CString, ResourceNumbersLoadTheTableOrGiveEmpty) {
#if !defined(_WIN32)
  ASSERT_TRUE(KorvexSetStringResource(4242, "host %s"));
  EXPECT_STREQ(CString(MAKEINTRESOURCEA(4242)), "host %s");
  KorvexSetStringResource(4242, NULL);
#endif
  EXPECT_STREQ(CString(MAKEINTRESOURCEA(4243)), "");
  EXPECT_STREQ(CString(MAKEINTRESOURCEA(0)), "");
}

TEST(CStringArray, SetAtGrowAppends) {
  CStringArray a;
  a.SetAtGrow(a.GetSize(), "one");
  a.SetAtGrow(a.GetSize(), "two");
  ASSERT_EQ(a.GetSize(), 2);
  EXPECT_STREQ(a[1], "two");
}

TEST(CMapStringToString, EnumeratesNewestFirstAndLooksUpExactly) {
  CMapStringToString map;
  map["a"] = "1";
  map["b"] = "2";
  map["c"] = "3";
  map["b"] = "two";  // replacing keeps the association's place
  CString value;
  EXPECT_TRUE(map.Lookup("b", value));
  EXPECT_STREQ(value, "two");
  EXPECT_FALSE(map.Lookup("B", value));
  EXPECT_EQ(map.GetCount(), 3);

  std::string order;
  POSITION pos = map.GetStartPosition();
  CString key;
  while (pos) {
    map.GetNextAssoc(pos, key, value);
    order += static_cast<const char*>(key);
  }
  EXPECT_EQ(order, "cba");

  EXPECT_TRUE(map.RemoveKey("b"));
  EXPECT_FALSE(map.RemoveKey("b"));
  EXPECT_EQ(map.GetCount(), 2);
  map.RemoveAll();
  EXPECT_EQ(map.GetStartPosition(), nullptr);
}

TEST(CMapStringToPtr, NewEntriesHoldNullAndSurviveGrowth) {
  CMapStringToPtr map;
  EXPECT_EQ(map["x"], nullptr);
  for (int i = 0; i < 10000; ++i) map[CString(std::to_string(i).c_str())] = &map;
  EXPECT_EQ(map.GetCount(), 10001);
  for (int i = 0; i < 10000; i += 777) EXPECT_EQ(*map.PLookup(std::to_string(i).c_str()), &map);
  for (int i = 0; i < 10000; ++i) EXPECT_TRUE(map.RemoveKey(std::to_string(i).c_str()));
  EXPECT_EQ(map.GetCount(), 1);
}

class StdioFileTest : public ::testing::Test {
protected:
  // Unique across processes that run this suite at the same time.
  std::string path = ::testing::TempDir() + "korvex_stdio_" +
                     std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt";
  void TearDown() override { remove(path.c_str()); }
  std::string Raw() {
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    int c;
    while ((c = fgetc(f)) != EOF) out += static_cast<char>(c);
    fclose(f);
    return out;
  }
};

TEST_F(StdioFileTest, WritesCrLfAndReadsBothLineEnds) {
  CStdioFile out;
  ASSERT_TRUE(out.Open(path.c_str(), CStdioFile::modeCreate | CStdioFile::modeWrite));
  EXPECT_TRUE(out.WriteString("one\ntwo\n"));
  out.Close();
  EXPECT_EQ(Raw(), "one\r\ntwo\r\n");

  FILE* f = fopen(path.c_str(), "wb");
  fputs("a\r\nb\nc\rd\n\nlast", f);
  fclose(f);
  CStdioFile in;
  ASSERT_TRUE(in.Open(path.c_str(), CStdioFile::modeRead));
  CString line;
  std::string seen;
  while (in.ReadString(line)) seen += std::string("[") + static_cast<const char*>(line) + "]";
  EXPECT_EQ(seen, "[a][b][c\rd][][last]");
}

TEST_F(StdioFileTest, OpenReportsFailureByItsResult) {
  CStdioFile f;
  EXPECT_FALSE(f.Open("/nonexistent-dir/x.ini", CStdioFile::modeRead));
  EXPECT_FALSE(f.Open("/nonexistent-dir/x.ini", CStdioFile::modeCreate | CStdioFile::modeWrite));
  EXPECT_FALSE(f.Open(::testing::TempDir().c_str(), CStdioFile::modeRead));  // a folder
  CString line;
  EXPECT_FALSE(f.ReadString(line));
}

TEST(CMutex, SingleLockRecordsAndReleasesOnDestruction) {
  CMutex mutex;
  {
    CSingleLock lock(&mutex, FALSE);
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Lock());
    EXPECT_TRUE(lock.IsLocked());
    std::thread other([&] { EXPECT_FALSE(mutex.Lock(50)); });
    other.join();
  }
  std::thread other([&] {
    EXPECT_TRUE(mutex.Lock(1000));
    mutex.Unlock();
  });
  other.join();
}
