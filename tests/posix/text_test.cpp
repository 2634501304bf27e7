#include <locale.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

namespace {

// Switches the whole process locale for one test and puts "C" back.
struct LocaleGuard {
  explicit LocaleGuard(const char* name) : ok(setlocale(LC_ALL, name) != nullptr) {}
  ~LocaleGuard() { setlocale(LC_ALL, "C"); }
  const bool ok;
};

// The text as converted into a buffer of the size the same call asked for.
std::string Convert(std::basic_string<WCHAR> wide, int count = -1, const char* defaultChar = nullptr,
                    BOOL* used = nullptr, UINT codePage = CP_ACP, DWORD flags = 0) {
  int size = WideCharToMultiByte(codePage, flags, wide.c_str(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "<fail>";
  std::string out(static_cast<size_t>(size), '\x7F');
  int written = WideCharToMultiByte(codePage, flags, wide.c_str(), count, &out[0], size, defaultChar, used);
  return written == size ? out : "<mismatch>";
}

const WCHAR kMixed[] = {'a', 0x00E9, 0x4E2D, 0xD83D, 0xDE00, 'z', 0};  // a é 中 😀 z

}  // namespace

TEST(WideCharToMultiByte, CLocaleIsAsciiAndReplacesTheRest) {
  BOOL used = FALSE;
  EXPECT_EQ(Convert(kMixed, -1, nullptr, &used), std::string("a???z\0", 6));
  EXPECT_TRUE(used);
  EXPECT_EQ(Convert(kMixed, -1, "#"), std::string("a###z\0", 6));
  EXPECT_EQ(Convert({'o', 'k'}, -1, nullptr, &used), std::string("ok\0", 3));
  EXPECT_FALSE(used);
}

TEST(WideCharToMultiByte, Utf8LocaleKeepsEveryCharacterAndReplacesLoneSurrogates) {
  LocaleGuard locale("C.UTF-8");
  ASSERT_TRUE(locale.ok);
  EXPECT_EQ(Convert(kMixed), std::string("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z\0", 12));
  const WCHAR lone[] = {0xD800, 'a', 0xDC00, 0xDBFF, 0};  // high, low, high at the end
  BOOL used = FALSE;
  EXPECT_EQ(Convert(lone, -1, nullptr, &used), std::string("?a??\0", 5));
  EXPECT_TRUE(used);
  // CP_UTF8 replaces them with U+FFFD, or refuses when asked to.
  EXPECT_EQ(Convert(lone, 2, nullptr, nullptr, CP_UTF8), std::string("\xEF\xBF\xBD") + 'a');
  SetLastError(0);
  EXPECT_EQ(Convert(lone, 2, nullptr, nullptr, CP_UTF8, WC_ERR_INVALID_CHARS), "<fail>");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WideCharToMultiByte, SizesBuffersAndRefusalsAsWin32) {
  const WCHAR text[] = {'a', 'b', 'c', 0};
  char out[8];
  memset(out, 'x', sizeof out);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, sizeof out, nullptr, nullptr), 2);  // no terminator added
  EXPECT_EQ(std::string(out, 3), "abx");
  // "result/last error"
  auto call = [](UINT codePage, DWORD flags, const WCHAR* wide, int count, char* buffer, int size, const char* dflt) {
    SetLastError(0);
    int result = WideCharToMultiByte(codePage, flags, wide, count, buffer, size, dflt, nullptr);
    return std::to_string(result) + "/" + std::to_string(GetLastError());
  };
  EXPECT_EQ(call(CP_ACP, 0, text, -1, nullptr, 0, nullptr), "4/0");  // -1 counts the terminator
  EXPECT_EQ(call(CP_ACP, 0, text, 2, nullptr, 0, nullptr), "2/0");
  EXPECT_EQ(call(CP_ACP, 0, text, -1, out, 3, nullptr), "0/" + std::to_string(ERROR_INSUFFICIENT_BUFFER));
  const std::string invalid = "0/" + std::to_string(ERROR_INVALID_PARAMETER);
  EXPECT_EQ(call(CP_ACP, 0, nullptr, -1, out, 8, nullptr), invalid);
  EXPECT_EQ(call(CP_ACP, 0, text, 0, out, 8, nullptr), invalid);
  EXPECT_EQ(call(CP_ACP, 0, text, -1, nullptr, 8, nullptr), invalid);
  EXPECT_EQ(call(CP_UTF8, 0, text, -1, out, 8, "?"), invalid);
  EXPECT_EQ(call(CP_UTF8, WC_COMPOSITECHECK, text, -1, out, 8, nullptr), "0/" + std::to_string(ERROR_INVALID_FLAGS));
  EXPECT_EQ(call(CP_ACP, WC_COMPOSITECHECK, text, -1, out, 8, "?"), "4/0");
}

TEST(WideCharToMultiByte, CompositeCheckPrecomposesWhereTheCodePageCan) {
  const struct {
    const char* locale;
    std::basic_string<WCHAR> wide;
    std::string bytes;
  } cases[] = {
      {"C.UTF-8", {'e', 0x0301, 'A', 0x030A, 'x', 0x0301}, "\xC3\xA9\xC3\x85x\xCC\x81"},
      {"C.UTF-8", {0x0301, 'e'}, std::string("\xCC\x81") + 'e'},  // a mark first stays
      {"C", {'e', 0x0301, 'n'}, "e?n"},                           // no precomposed character in ASCII
  };
  for (const auto& c : cases) {
    LocaleGuard locale(c.locale);
    ASSERT_TRUE(locale.ok);
    EXPECT_EQ(Convert(c.wide, static_cast<int>(c.wide.size()), "?", nullptr, CP_ACP, WC_COMPOSITECHECK), c.bytes);
  }
  // The same through CAnsiString, which asks for the check.
  LocaleGuard locale("C.UTF-8");
  const unsigned short wide[] = {'e', 0x0301, 0};
  EXPECT_STREQ(CAnsiString(wide), "\xC3\xA9");
}

TEST(WideCharToMultiByte, LongTextWithReplacementsAcrossChunks) {
  // Longer than the converter's working chunks, with a pair straddling a chunk edge.
  std::basic_string<WCHAR> wide;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const bool pair = i % 255 == 0;
    wide += pair ? std::basic_string<WCHAR>{0xD83D, 0xDE00} : std::basic_string<WCHAR>(1, 'a' + i % 26);
    expected += pair ? '?' : static_cast<char>('a' + i % 26);
  }
  EXPECT_EQ(Convert(wide, static_cast<int>(wide.size())), expected);
}

TEST(Lstr, LengthAndComparisons) {
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("four"), 4);
  const struct {
    const char *a, *b;
    int exact, folded;  // signs
  } cases[] = {{"abc", "abc", 0, 0},     {"abc", "abd", -1, -1}, {"abcd", "abc", 1, 1}, {"ABC", "abd", -1, -1},
               {nullptr, nullptr, 0, 0}, {nullptr, "", -1, -1},  {"", nullptr, 1, 1}};
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const auto& c : cases) {
    EXPECT_EQ(sign(lstrcmpA(c.a, c.b)), c.exact) << &c - cases;
    EXPECT_EQ(sign(lstrcmpiA(c.a, c.b)), c.folded) << &c - cases;
  }
  EXPECT_NE(lstrcmpA("abc", "ABC"), 0);
  EXPECT_EQ(lstrcmpiA("abc", "ABC"), 0);
}

TEST(Wsprintf, FormatsIntoTheBufferUpTo1023Characters) {
  char buffer[2048];
  EXPECT_EQ(wsprintfA(buffer, "%s=%d", "k", 12), 4);
  EXPECT_STREQ(buffer, "k=12");
  std::string big(1500, 'w');
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);
  EXPECT_EQ(std::string(buffer, 1025), std::string(1023, 'w') + '\0' + 'x');  // nothing written past the limit
}

TEST(StringResources, CsFmtFormatsWithTheEnteredText) {
  ASSERT_TRUE(KorvexSetStringResource(4711, "%s has %d items"));
  EXPECT_STREQ(csFmt(4711u, "list", 3), "list has 3 items");
  EXPECT_STREQ(csFmt(4711u + 0x10000u, "list", 3), "list has 3 items");  // only the low 16 bits name a resource
  char none[1] = {'x'};
  EXPECT_EQ(LoadStringA(nullptr, 4711, none, 0), 0);  // no room: nothing written
  EXPECT_EQ(none[0], 'x');
  const std::string long300(300, 'l');  // longer than CString::LoadString's first buffer
  ASSERT_TRUE(KorvexSetStringResource(4711, long300.c_str()));
  CString loaded;
  EXPECT_TRUE(loaded.LoadString(4711));
  EXPECT_EQ(long300, static_cast<const char*>(loaded));
  ASSERT_TRUE(KorvexSetStringResource(4711, nullptr));
  EXPECT_STREQ(csFmt(4711u, "list", 3), "");
  EXPECT_FALSE(loaded.LoadString(4711));
}
