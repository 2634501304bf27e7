#include <locale.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

namespace {

// Switches the whole process locale for one test and puts "C" back.
class LocaleGuard {
public:
  explicit LocaleGuard(const char* name) { ok_ = setlocale(LC_ALL, name) != nullptr; }
  ~LocaleGuard() { setlocale(LC_ALL, "C"); }
  bool ok() const { return ok_; }

private:
  bool ok_;
};

std::string Convert(const WCHAR* wide, int count = -1, const char* defaultChar = nullptr, BOOL* used = nullptr,
                    UINT codePage = CP_ACP) {
  int size = WideCharToMultiByte(codePage, 0, wide, count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "<fail>";
  std::string out(static_cast<size_t>(size), '\x7F');
  int written = WideCharToMultiByte(codePage, 0, wide, count, &out[0], size, defaultChar, used);
  if (written != size) return "<mismatch>";
  return out;
}

const WCHAR kMixed[] = {'a', 0x00E9, 0x4E2D, 0xD83D, 0xDE00, 'z', 0};  // a é 中 😀 z

}  // namespace

TEST(WideCharToMultiByte, CLocaleIsAsciiAndReplacesTheRest) {
  BOOL used = FALSE;
  EXPECT_EQ(Convert(kMixed, -1, nullptr, &used), std::string("a???z\0", 6));
  EXPECT_TRUE(used);
  EXPECT_EQ(Convert(kMixed, -1, "#"), std::string("a###z\0", 6));
  const WCHAR plain[] = {'o', 'k', 0};
  used = TRUE;
  EXPECT_EQ(Convert(plain, -1, nullptr, &used), std::string("ok\0", 3));
  EXPECT_FALSE(used);
}

TEST(WideCharToMultiByte, Utf8LocaleKeepsEveryCharacter) {
  LocaleGuard locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  EXPECT_EQ(Convert(kMixed), std::string("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z\0", 12));
  const unsigned short wide[] = {0x00E9, 0};
  CAnsiString s(wide);
  EXPECT_STREQ(s, "\xC3\xA9");
}

TEST(WideCharToMultiByte, LoneSurrogatesBecomeTheDefaultCharacter) {
  LocaleGuard locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  const WCHAR lone[] = {0xD800, 'a', 0xDC00, 0xDBFF, 0};  // high, low, high at the end
  BOOL used = FALSE;
  EXPECT_EQ(Convert(lone, -1, nullptr, &used), std::string("?a??\0", 5));
  EXPECT_TRUE(used);
  // CP_UTF8 replaces them with U+FFFD, or refuses when asked to.
  EXPECT_EQ(Convert(lone, 2, nullptr, nullptr, CP_UTF8),
            "\xEF\xBF\xBD"
            "a");
  char out[16];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 2, out, sizeof out, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WideCharToMultiByte, SizesAndBuffersAsWin32) {
  const WCHAR text[] = {'a', 'b', 'c', 0};
  // -1 counts the terminator; an explicit count does not add one.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, nullptr, 0, nullptr, nullptr), 2);
  char out[8];
  memset(out, 'x', sizeof out);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, sizeof out, nullptr, nullptr), 2);
  EXPECT_EQ(std::string(out, 3), "abx");

  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 0, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 8, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK, text, -1, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, -1, out, 8, "?", nullptr), 4);
}

TEST(WideCharToMultiByte, CompositeCheckPrecomposesWhereTheCodePageCan) {
  struct Case {
    const char* locale;
    std::basic_string<WCHAR> wide;
    std::string bytes;
  } cases[] = {
      {"C.UTF-8", {'e', 0x0301, 'A', 0x030A, 'x', 0x0301}, "\xC3\xA9\xC3\x85x\xCC\x81"},
      {"C.UTF-8",
       {0x0301, 'e'},
       "\xCC\x81"
       "e"},                             // a mark first stays
      {"C", {'e', 0x0301, 'n'}, "e?n"},  // no precomposed character in ASCII
  };
  for (const Case& c : cases) {
    LocaleGuard locale(c.locale);
    ASSERT_TRUE(locale.ok());
    char out[16];
    int count = static_cast<int>(c.wide.size());
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, c.wide.data(), count, nullptr, 0, nullptr, nullptr),
              static_cast<int>(c.bytes.size()));
    int written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, c.wide.data(), count, out, sizeof out, "?", nullptr);
    EXPECT_EQ(std::string(out, written > 0 ? written : 0), c.bytes);
  }
}

TEST(WideCharToMultiByte, LongTextWithReplacementsAcrossChunks) {
  // Longer than the converter's working chunks, with a pair straddling a chunk edge.
  std::basic_string<WCHAR> wide;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    if (i % 255 == 0) {
      wide += static_cast<WCHAR>(0xD83D);
      wide += static_cast<WCHAR>(0xDE00);
      expected += '?';
    } else {
      wide += static_cast<WCHAR>('a' + i % 26);
      expected += static_cast<char>('a' + i % 26);
    }
  }
  EXPECT_EQ(Convert(wide.c_str(), static_cast<int>(wide.size())), expected);
}

TEST(Lstr, LengthAndComparisons) {
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("four"), 4);
  EXPECT_EQ(lstrcmpA("abc", "abc"), 0);
  EXPECT_LT(lstrcmpA("abc", "abd"), 0);
  EXPECT_GT(lstrcmpA("abcd", "abc"), 0);
  EXPECT_NE(lstrcmpA("abc", "ABC"), 0);
  EXPECT_EQ(lstrcmpiA("abc", "ABC"), 0);
  EXPECT_LT(lstrcmpiA("ABC", "abd"), 0);
  EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
  EXPECT_LT(lstrcmpA(nullptr, ""), 0);
  EXPECT_GT(lstrcmpiA("", nullptr), 0);
}

TEST(Wsprintf, FormatsIntoTheBufferUpTo1023Characters) {
  char buffer[2048];
  EXPECT_EQ(wsprintfA(buffer, "%s=%d", "k", 12), 4);
  EXPECT_STREQ(buffer, "k=12");
  std::string big(1500, 'w');
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);
  EXPECT_EQ(strlen(buffer), 1023u);
  EXPECT_EQ(buffer[1024], 'x');  // nothing written past the limit
}

TEST(StringResources, CsFmtFormatsWithTheEnteredText) {
  ASSERT_TRUE(KorvexSetStringResource(4711, "%s has %d items"));
  EXPECT_STREQ(csFmt(4711u, "list", 3), "list has 3 items");
  // Only the low 16 bits name a resource.
  EXPECT_STREQ(csFmt(4711u + 0x10000u, "list", 3), "list has 3 items");
  ASSERT_TRUE(KorvexSetStringResource(4711, nullptr));
  EXPECT_STREQ(csFmt(4711u, "list", 3), "");
}
