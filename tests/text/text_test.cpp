#include <string.h>

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

namespace {

std::string Text(const CAnsiString& s) { return static_cast<const char*>(s); }

std::string Join(const CStringArray& tokens) {
  std::string out;
  for (int i = 0; i < tokens.GetSize(); ++i) out += std::string("[") + static_cast<const char*>(tokens[i]) + "]";
  return out;
}

}  // namespace

// Sources inside the string's own block are read before the old block goes.
TEST(CAnsiString, CopiesAreIndependentAndItsOwnTextIsASource) {
  CAnsiString a("ab"), b(a), c, empty;
  c = a;
  b.SetAt(0, 'j');
  c.MakeUpper();
  empty += "d";  // an empty string has no block yet
  EXPECT_EQ(Text(a) + Text(b) + Text(c) + Text(empty), "abjbABd");
  CAnsiString& alias = a;
  a = alias;
  a += a;
  a += static_cast<const char*>(a) + 3;
  EXPECT_EQ(Text(a), "ababb");
  a = static_cast<const char*>(a) + 2;
  const unsigned short wide[] = {'x', 0x4E2D, 0};  // a character the code page lacks
  a += wide;
  a += static_cast<char>(0);
  a += 'c';
  a += static_cast<const char*>(nullptr);
  EXPECT_EQ(Text(a), "abbx?c");
  EXPECT_EQ(Text(CAnsiString(wide)), "x?");
  EXPECT_EQ(Text(CAnsiString(static_cast<const unsigned short*>(nullptr))), "");
}

// Parts, single characters and deletions by index and count: out of range gives
// the empty text or nothing. Trimming and case mapping beside them.
TEST(CAnsiString, PartsAndEditsKeepToTheText) {
  const CAnsiString s("abcdef");
  std::string parts;
  for (int count : {2, 1, -1, 11}) parts += Text(s.Left(count)) + "|" + Text(s.Right(count)) + " ";
  EXPECT_EQ(parts, "ab|ef a|f | abcdef|abcdef ");
  const std::string at = {s.GetAt(0), s.GetAt(5), s.GetAt(6), s.GetAt(-1)};
  EXPECT_EQ(at, std::string("af\0\0", 4));
  CAnsiString set("abc");
  for (int index : {3, -1, 1}) set.SetAt(index, index == 1 ? '\0' : 'x');
  EXPECT_EQ(std::string(set, 4), std::string("a\0c\0", 4));  // the terminator stays
  set.SetString("ab\0cd", 5);                                // the zero byte ends the text
  EXPECT_EQ(set.GetLength(), 2);
  set.SetString("abc", -4);
  EXPECT_TRUE(set.IsEmpty());
  set.SetString("abcdef", 3);
  EXPECT_EQ(Text(set), "abc");
  set.Delete(-3, 1);  // a negative index counts as 0
  EXPECT_EQ(Text(set), "bc");
  set.Delete(1, 100);
  EXPECT_EQ(Text(set), "b");
  set = " \t\r\n\v\fword  with inner\t \n";  // white space of every kind
  set.Trim();
  EXPECT_EQ(Text(set), "word  with inner");
  set = "aZ09!@[`{~ \xE9";  // only the ASCII letters change case
  set.MakeUpper();
  EXPECT_EQ(Text(set), "AZ09!@[`{~ \xE9");
  set.MakeLower();
  EXPECT_EQ(Text(set), "az09!@[`{~ \xE9");
}

// Format reads its arguments before the old text goes.
TEST(CAnsiString, FormatCutsAt4095WhereCsFmtDoesNot) {
  CAnsiString s;
  std::string long5000(5000, 'q');
  s.Format("%s", long5000.c_str());
  EXPECT_EQ(Text(s), long5000.substr(0, 4095));
  std::string exact(4095, 'r');
  s.Format("%s", exact.c_str());
  EXPECT_EQ(Text(s), exact);
  s = "old";
  s.Format("[%s|%s]", static_cast<const char*>(s), static_cast<const char*>(s));
  EXPECT_EQ(Text(s), "[old|old]");
  EXPECT_EQ(csFmt("<%s>", long5000.c_str()).GetLength(), 5002);
}

TEST(CAnsiString, ComparisonsAreExactAndCaseSensitive) {
  // A string without a block is the empty text, and equals one that has a block.
  const std::pair<const char*, const char*> cases[] = {{"abc", "ABC"}, {"abc", "abcd"}, {"", ""}};
  for (const auto& [ta, tb] : cases) {
    SCOPED_TRACE(std::string(ta) + " vs " + tb);
    const CAnsiString a(ta), b(*tb ? tb : nullptr);
    const int equal = strcmp(ta, tb) == 0;
    EXPECT_EQ(a == b, equal);
    EXPECT_EQ(a != b, 1 - equal);
    EXPECT_EQ(ta == b, equal);
    EXPECT_EQ(ta != b, 1 - equal);
    EXPECT_EQ(a != tb, 1 - equal);
  }
}

// Every case starts from an array holding three entries, which stay in front.
TEST(StrTok, SplitsAtTheWholeDelimiterWithoutEmptyTokens) {
  struct Case {
    const char *text, *delimiter;
    int count;
    const char* tokens;
  } cases[] = {
      {"a::b:c", "::", 2, "[a][b:c]"},
      {"::::x:::y::", "::", 2, "[x][:y]"},
      {"no delimiter", ";", 1, "[no delimiter]"},
      {"abc", "", 0, ""},
      {"abc", nullptr, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CStringArray tokens;
    for (const char* entry : {"x", "y", "z"}) tokens.Add(entry);
    EXPECT_EQ(StrTok(tokens, c.text, c.delimiter), c.count);
    EXPECT_EQ(Join(tokens), std::string("[x][y][z]") + c.tokens);
  }
}
