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

using Wide = std::basic_string<WCHAR>;

}  // namespace

// The locale's code page replaces what it lacks and says so; lone surrogates are
// replaced; the composite check precomposes where the code page can.
TEST(WideCharToMultiByte, ReplacesWhatTheCodePageLacks) {
  Wide longText;  // longer than the converter's working chunks, with pairs straddling their edges
  std::string longBytes;
  for (int i = 0; i < 3000; ++i) {
    const bool pair = i % 255 == 0;
    longText += pair ? Wide{0xD83D, 0xDE00} : Wide(1, static_cast<WCHAR>('a' + i % 26));
    longBytes += pair ? '?' : static_cast<char>('a' + i % 26);
  }
  const Wide mixed = {'a', 0x00E9, 0x4E2D, 0xD83D, 0xDC00, 'z'};  // a é 中 🐀 z: the first low surrogate
  const Wide lone = {0xD800, 'a', 0xDC00, 0xDBFF};                // high, low, high at the end
  const UINT acp = CP_ACP, utf8 = CP_UTF8;
  const DWORD compose = WC_COMPOSITECHECK;  // a mark first stays; ASCII has no precomposed character
  const struct {
    const char* locale;
    Wide wide;
    UINT codePage;
    DWORD flags;
    const char* defaultChar;
    std::string bytes;
    BOOL used;
  } cases[] = {
      {"C", mixed, acp, 0, nullptr, "a???z", TRUE},
      {"C", mixed, acp, 0, "#", "a###z", TRUE},
      {"C", {'o', 'k'}, acp, 0, nullptr, "ok", FALSE},
      {"C", longText, acp, 0, nullptr, longBytes, TRUE},
      {"C.UTF-8", mixed, acp, 0, nullptr, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x90\x80z", FALSE},
      {"C.UTF-8", lone, acp, 0, nullptr, "?a??", TRUE},
      {"C.UTF-8", lone, utf8, 0, nullptr, "\xEF\xBF\xBD\x61\xEF\xBF\xBD\xEF\xBF\xBD", FALSE},
      {"C.UTF-8", {'e', 0x0301, 'A', 0x030A, 'x', 0x0301}, acp, compose, nullptr, "\xC3\xA9\xC3\x85x\xCC\x81", FALSE},
      {"C.UTF-8", {0x0301, 'e'}, acp, compose, nullptr, "\xCC\x81\x65", FALSE},
      // Greek and Devanagari compose; a composition Unicode excludes (क + nukta) stays apart.
      {"C.UTF-8",
       {0x03B1, 0x0301, 0x0928, 0x093C, 0x0915, 0x093C},
       acp,
       compose,
       nullptr,
       "\xCE\xAC\xE0\xA4\xA9\xE0\xA4\x95\xE0\xA4\xBC",
       FALSE},
      {"C", {'e', 0x0301, 'n'}, acp, compose, nullptr, "e?n", TRUE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.locale << " " << c.bytes.substr(0, 20));
    LocaleGuard locale(c.locale);
    ASSERT_TRUE(locale.ok);
    BOOL used = FALSE;
    BOOL* asked = c.codePage == CP_UTF8 ? nullptr : &used;  // CP_UTF8 takes no flag
    const int size = WideCharToMultiByte(c.codePage, c.flags, c.wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\x7F');
    EXPECT_EQ(WideCharToMultiByte(c.codePage, c.flags, c.wide.c_str(), -1, &out[0], size, c.defaultChar, asked), size);
    EXPECT_EQ(out, c.bytes + '\0');
    EXPECT_EQ(used, c.used);
  }
  // The same check through CAnsiString, which asks for it.
  LocaleGuard locale("C.UTF-8");
  const unsigned short wide[] = {'e', 0x0301, 0};
  EXPECT_STREQ(CAnsiString(wide), "\xC3\xA9");
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
  const WCHAR lone[] = {0xD800, 'a', 0};
  EXPECT_EQ(call(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, out, 8, nullptr),
            "0/" + std::to_string(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(call(CP_ACP, WC_COMPOSITECHECK, text, -1, out, 8, "?"), "4/0");
}

TEST(StringCalls, LengthsComparisonsAndTheWsprintfLimit) {
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
  // wsprintfA writes at most 1023 characters and the terminator.
  char buffer[2048];
  std::string big(1500, 'w');
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);
  EXPECT_EQ(std::string(buffer, 1025), std::string(1023, 'w') + '\0' + 'x');  // nothing written past the limit
}

// A wide text the C locale cannot hold fails the format here (Windows' C
// library writes it in Latin-1): the string is left empty.
TEST(CString, AFailedFormatLeavesNoText) {
  CString text("old");
  text.Format("%ls", L"\u00e9");
  EXPECT_STREQ(text, "");
}

TEST(StringResources, CsFmtFormatsWithTheEnteredText) {
  ASSERT_TRUE(KorvexSetStringResource(4711, "%s has %d items"));
  EXPECT_FALSE(KorvexSetStringResource(0, "x") || KorvexSetStringResource(0x10000, "x"));  // no resource has those
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
