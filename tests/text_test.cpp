#include <string>

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

TEST(CAnsiString, EmptyFormsAreValidEmptyText) {
  CAnsiString fresh;
  EXPECT_EQ(fresh.GetLength(), 0);
  EXPECT_EQ(fresh.IsEmpty(), 1);
  ASSERT_NE(static_cast<const char*>(fresh), nullptr);
  EXPECT_STREQ(fresh, "");

  CAnsiString fromNull(static_cast<const char*>(nullptr));
  CAnsiString fromWideNull(static_cast<const unsigned short*>(nullptr));
  EXPECT_TRUE(fromNull.IsEmpty());
  EXPECT_TRUE(fromWideNull.IsEmpty());

  CAnsiString s("abc");
  s = static_cast<const char*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());
  s = "abc";
  s = static_cast<const unsigned short*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());

  // A copy of an empty string holds a block of its own; it still is the empty text.
  CAnsiString copy(fresh);
  EXPECT_NE(static_cast<const char*>(copy), static_cast<const char*>(fresh));
  EXPECT_TRUE(copy.IsEmpty());
  EXPECT_TRUE(copy == fresh);
  EXPECT_TRUE(copy == "");
  EXPECT_TRUE("" == fresh);
}

TEST(CAnsiString, CopiesAreIndependent) {
  CAnsiString a("hello");
  CAnsiString b(a);
  CAnsiString c;
  c = a;
  EXPECT_NE(static_cast<const char*>(a), static_cast<const char*>(b));
  EXPECT_NE(static_cast<const char*>(a), static_cast<const char*>(c));
  b.SetAt(0, 'j');
  c.MakeUpper();
  EXPECT_EQ(Text(a), "hello");
  EXPECT_EQ(Text(b), "jello");
  EXPECT_EQ(Text(c), "HELLO");
}

TEST(CAnsiString, SelfAssignmentKeepsTheText) {
  CAnsiString s("same text");
  CAnsiString& alias = s;
  s = alias;
  EXPECT_EQ(Text(s), "same text");
  s = static_cast<const char*>(s);
  EXPECT_EQ(Text(s), "same text");
  s = static_cast<const char*>(s) + 5;  // a part of its own block
  EXPECT_EQ(Text(s), "text");
}

TEST(CAnsiString, WideTextConvertsWithQuestionMarkForMissingCharacters) {
  const unsigned short wide[] = {'a', 0x4E2D, 'b', 0};
  CAnsiString s(wide);
  EXPECT_EQ(Text(s), "a?b");
  EXPECT_EQ(s.GetLength(), 3);

  const unsigned short plain[] = {'x', 'y', 0};
  s += plain;
  EXPECT_EQ(Text(s), "a?bxy");
  s += static_cast<const unsigned short*>(nullptr);
  EXPECT_EQ(Text(s), "a?bxy");

  const unsigned short empty[] = {0};
  s = empty;
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CAnsiString, AppendingIncludingItself) {
  CAnsiString s;
  s += "ab";
  EXPECT_EQ(Text(s), "ab");
  s += s;
  EXPECT_EQ(Text(s), "abab");
  s += static_cast<const char*>(s) + 3;  // the tail of its own block
  EXPECT_EQ(Text(s), "ababb");
  s += static_cast<char>(0);
  EXPECT_EQ(Text(s), "ababb");
  s += 'c';
  EXPECT_EQ(Text(s), "ababbc");
  s += static_cast<const char*>(nullptr);
  EXPECT_EQ(Text(s), "ababbc");

  CAnsiString empty;
  empty += static_cast<const char*>(nullptr);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(CAnsiString, SetStringCopiesExactlyCountBytes) {
  CAnsiString s;
  s.SetString("abcdef", 3);
  EXPECT_EQ(Text(s), "abc");
  s.SetString("ab\0cd", 5);
  EXPECT_EQ(s.GetLength(), 2);  // the zero byte ends the text
  s.SetString("abc", 0);
  EXPECT_TRUE(s.IsEmpty());
  s.SetString("abc", -4);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CAnsiString, LeftAndRight) {
  CAnsiString s("abcdef");
  EXPECT_EQ(Text(s.Left(2)), "ab");
  EXPECT_EQ(Text(s.Right(2)), "ef");
  EXPECT_EQ(Text(s.Left(0)), "");
  EXPECT_EQ(Text(s.Right(0)), "");
  EXPECT_EQ(Text(s.Left(-1)), "");
  EXPECT_EQ(Text(s.Right(-1)), "");
  EXPECT_EQ(Text(s.Left(11)), "abcdef");
  EXPECT_EQ(Text(s.Right(11)), "abcdef");
  EXPECT_EQ(Text(s.Right(6)), "abcdef");
  EXPECT_EQ(Text(CAnsiString().Right(3)), "");
}

TEST(CAnsiString, TrimmingInPlace) {
  CAnsiString s(" \t\r\n\v\fword  with inner\t \n");
  s.Trim();
  EXPECT_EQ(Text(s), "word  with inner");

  CAnsiString blank(" \t \t");
  const char* block = blank;
  blank.TrimLeft();
  EXPECT_TRUE(blank.IsEmpty());
  EXPECT_EQ(static_cast<const char*>(blank), block);  // same block

  CAnsiString right("x  ");
  block = right;
  right.TrimRight();
  EXPECT_EQ(Text(right), "x");
  EXPECT_EQ(static_cast<const char*>(right), block);

  CAnsiString none("a b");
  none.Trim();
  EXPECT_EQ(Text(none), "a b");
}

TEST(CAnsiString, CaseMappingTouchesOnlyLetters) {
  CAnsiString s("aZ09!@[`{~ \xE9");
  s.MakeUpper();
  EXPECT_EQ(Text(s), "AZ09!@[`{~ \xE9");
  s.MakeLower();
  EXPECT_EQ(Text(s), "az09!@[`{~ \xE9");
}

TEST(CAnsiString, DeleteRanges) {
  struct Case {
    int index, count;
    const char* expected;
  } cases[] = {
      {2, 100, "ab"}, {-3, 1, "bcdef"}, {10, 1, "abcdef"}, {6, 1, "abcdef"},
      {1, 0, "abcdef"}, {1, -2, "abcdef"}, {1, 2, "adef"}, {0, 6, ""},
  };
  for (const Case& c : cases) {
    CAnsiString s("abcdef");
    s.Delete(c.index, c.count);
    EXPECT_EQ(Text(s), c.expected) << c.index << "," << c.count;
  }
}

TEST(CAnsiString, CharacterAccessWithinTheText) {
  CAnsiString s("abc");
  EXPECT_EQ(s.GetAt(0), 'a');
  EXPECT_EQ(s.GetAt(2), 'c');
  EXPECT_EQ(s.GetAt(3), '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
  s.SetAt(3, 'x');
  s.SetAt(-1, 'x');
  EXPECT_EQ(Text(s), "abc");
  s.SetAt(1, '\0');
  EXPECT_EQ(Text(s), "a");
  EXPECT_EQ(s.GetAt(1), '\0');
  CAnsiString empty;
  empty.SetAt(0, 'x');
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(CAnsiString, FormatCutsAt4095AndReadsArgumentsFirst) {
  CAnsiString s;
  s.Format("%d-%s", 42, "x");
  EXPECT_EQ(Text(s), "42-x");

  std::string long5000(5000, 'q');
  s.Format("%s", long5000.c_str());
  EXPECT_EQ(s.GetLength(), 4095);
  EXPECT_EQ(Text(s), long5000.substr(0, 4095));
  std::string exact(4095, 'r');
  s.Format("%s", exact.c_str());
  EXPECT_EQ(Text(s), exact);

  s = "old";
  s.Format("[%s|%s]", static_cast<const char*>(s), static_cast<const char*>(s));
  EXPECT_EQ(Text(s), "[old|old]");
  s.Format("");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CAnsiString, ComparisonsAreExactAndCaseSensitive) {
  CAnsiString abc("abc"), upper("ABC"), abcd("abcd"), empty, emptyBlock("");
  EXPECT_EQ(abc == CAnsiString("abc"), 1);
  EXPECT_EQ(abc == upper, 0);
  EXPECT_EQ(abc != upper, 1);
  EXPECT_EQ(abc == abcd, 0);
  EXPECT_EQ("abc" == abc, 1);
  EXPECT_EQ(abc != "ab", 1);
  EXPECT_EQ("abcd" != abc, 1);
  EXPECT_EQ(empty == emptyBlock, 1);
  EXPECT_EQ(empty != "", 0);
}

TEST(csFmt, FormatsWithoutALengthLimit) {
  EXPECT_STREQ(csFmt("%s%s%s%s", "one", "two", "three", "four"), "onetwothreefour");
  std::string big(10000, 'z');
  EXPECT_EQ(csFmt("<%s>", big.c_str()).GetLength(), 10002);
  EXPECT_STREQ(csFmt("%d|%5.2f|%c", -7, 1.5, 'x'), "-7| 1.50|x");
}

TEST(csFmt, MissingResourceAndZeroGiveEmptyText) {
  EXPECT_STREQ(csFmt(0u), "");
  EXPECT_STREQ(csFmt(61234u, 1, 2), "");
}

TEST(StrTok, SplitsAtTheWholeDelimiterWithoutEmptyTokens) {
  CStringArray tokens;
  EXPECT_EQ(StrTok(tokens, "a,,b,", ","), 2);
  EXPECT_EQ(Join(tokens), "[a][b]");

  tokens.RemoveAll();
  EXPECT_EQ(StrTok(tokens, "a::b:c", "::"), 2);
  EXPECT_EQ(Join(tokens), "[a][b:c]");

  tokens.RemoveAll();
  EXPECT_EQ(StrTok(tokens, "::::x:::y::", "::"), 2);
  EXPECT_EQ(Join(tokens), "[x][:y]");

  tokens.RemoveAll();
  EXPECT_EQ(StrTok(tokens, " a , b ", ","), 2);
  EXPECT_EQ(Join(tokens), "[ a ][ b ]");

  tokens.RemoveAll();
  EXPECT_EQ(StrTok(tokens, "no delimiter", ";"), 1);
  EXPECT_EQ(Join(tokens), "[no delimiter]");

  tokens.RemoveAll();
  EXPECT_EQ(StrTok(tokens, ",,,", ","), 0);
  EXPECT_EQ(StrTok(tokens, "", ","), 0);
  EXPECT_EQ(tokens.GetSize(), 0);
}

TEST(StrTok, AppendsBehindExistingEntriesAndLeavesTheTextAlone) {
  CStringArray tokens;
  tokens.Add("x");
  tokens.Add("y");
  tokens.Add("z");
  CString text("1 2 3");
  EXPECT_EQ(StrTok(tokens, text, " "), 3);
  EXPECT_EQ(Join(tokens), "[x][y][z][1][2][3]");
  EXPECT_STREQ(text, "1 2 3");
}

TEST(StrTok, EmptyOrNullDelimiterReturnsAtOnce) {
  CStringArray tokens;
  EXPECT_EQ(StrTok(tokens, "abc", ""), 0);
  EXPECT_EQ(StrTok(tokens, "abc", nullptr), 0);
  EXPECT_EQ(tokens.GetSize(), 0);
}
