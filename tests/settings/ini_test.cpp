#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "korvex/korvex.h"
#include "tests/support/random_text.h"
#include "tests/support/scratch_registry.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
  std::string WriteRaw(const std::string& bytes, const char* name = "in.ini") {
    WriteFileBytes(dir_ / name, bytes);
    return dir_ / name;
  }
  // The file text a model writes, "\r\n" shown as "\n" and a bare "\n" as "<LF>".
  std::string Written(const CIniFile& ini) {
    EXPECT_EQ(ini.Write((dir_ / "out.ini").c_str()), 1);
    std::string raw = ReadFileBytes(dir_ / "out.ini"), text;
    for (size_t at = 0; at < raw.size(); ++at)
      if (raw.compare(at, 2, "\r\n") == 0)
        text += raw[++at];
      else
        text += raw[at] == '\n' ? "<LF>" : std::string(1, raw[at]);
    return text;
  }
  static std::string Get(const CIniFile& ini, const char* section, const char* key) {
    return static_cast<const char*>(ini.GetValue(section, key, "<none>"));
  }

  ScratchFolder dir_;
};

}  // namespace

// What a file reads into, shown by writing the model back.
TEST_F(IniFileTest, LineGrammar) {
  const std::pair<std::string, std::string> cases[] = {
      {"before=header\n[s]\nkey=value\r\n=starts with equals\nno equals here\nempty=\ntwo=a=b\n spaced = padded \n"
       ";comment=yes\n\n[\nafter [=still s\n [t]\n[a]b=c]\nk=in odd\n",
       "[s]\nkey=value\nempty=\ntwo=a=b\n spaced = padded \n;comment=yes\nafter [=still s\n[a]b=c]\nk=in odd\n"},
      // An empty header suspends keys until the next named one; a space is a name.
      {"[s]\na=1\n[]\nb=2\n[ ]\nc=3\n[s]\nd=4", "[s]\na=1\nd=4\n[ ]\nc=3\n"},
      {"[s]\na=1\nb=1\n[t]\nx=1\n[s]\na=2\n", "[s]\na=2\nb=1\n[t]\nx=1\n"},
      {std::string("[h]\nnul=ab\0cd\n\0lost=1\n", 22), "[h]\nnul=ab\n"},  // text ends at a zero byte
      {"[a]\n[b]\n[]\n[c]", ""},
      {"[s]\rk=v\r", ""},                                        // "\r" alone ends no line
      {"[s]\nkey=v\n[S]\nKEY=w\n", "[s]\nkey=v\n[S]\nKEY=w\n"},  // names are case-sensitive
  };
  for (const auto& [text, written] : cases) {
    CIniFile ini(WriteRaw(text).c_str());
    EXPECT_EQ(Written(ini), written) << text;
  }
}

// Further reads add to the model; failed reads, an empty file and lookups of missing names add nothing.
TEST_F(IniFileTest, ReadsAccumulateAndFailuresLeaveTheModelAlone) {
  CIniFile ini;
  ini.SetValue("s", "k", "v");
  ASSERT_EQ(ini.Read(WriteRaw("[t]\nx=1\n").c_str()), 1);
  ASSERT_EQ(ini.Read(WriteRaw("[t]\nx=9\n[u]\ny=1\n").c_str()), 1);
  EXPECT_EQ(ini.Read((dir_ / "missing.ini").c_str()), 0);
  EXPECT_EQ(ini.Read(dir_.path().c_str()), 0);  // a folder
  EXPECT_EQ(ini.Read(WriteRaw("").c_str()), 1);
  EXPECT_EQ(ini.GetValue("ghost", "k", 1), 1);
  EXPECT_EQ(Get(ini, "s", "ghost"), "<none>");
  EXPECT_STREQ(ini.GetValue("ghost", "k", static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(Written(ini), "[s]\nk=v\n[t]\nx=9\n[u]\ny=1\n");
  CIniFile fromMissing((dir_ / "missing.ini").c_str());
  EXPECT_EQ(Written(fromMissing), "");
}

// atoi of the text; a result of 0 counts only for the text "0". Past 32 bits
// the value wraps, on every target alike.
TEST_F(IniFileTest, IntegerLookupZeroRule) {
  const std::pair<const char*, int> cases[] = {
      // NULL: no such key
      {"-3", -3}, {"0", 0},   {"12abc", 12}, {"  5", 5}, {"4294967295", -1}, {"18446744073709551617", 1},
      {"00", 99}, {"-0", 99}, {" 0", 99},    {"", 99},   {NULL, 99}};
  for (const auto& [text, value] : cases) {
    CIniFile ini;
    if (text) ini.SetValue("n", "k", text);
    EXPECT_EQ(ini.GetValue("n", "k", 99), value) << (text ? text : "NULL");
  }
}

// Nothing is escaped: what the format cannot carry is written as it is and does
// not read back the same (settings.h tells products to check).
TEST_F(IniFileTest, SettersStoreTextThatIsWrittenAsItIs) {
  CIniFile ini;
  ini.SetValue("s", "zero", 0);
  ini.SetValue("s", "min", -2147483647 - 1);
  EXPECT_EQ(ini.GetValue("s", "zero", 5), 0);
  const unsigned char bytes[] = {0x00, 0xFF, 0x10, 'a'};
  ini.SetValue("b", "k", bytes, sizeof bytes);
  ini.SetValue("b", "empty", bytes, 0);
  // Lengths whose text no string can hold, or that a 32-bit count would cut,
  // store nothing; the data is never read.
  std::vector<unsigned long> lengths = {1610612734ul, 0xFFFFFFFFul};
  if (sizeof(unsigned long) > 4) lengths.push_back(static_cast<unsigned long>((1ull << 32) + 4));
  for (unsigned long length : lengths) {
    ini.SetValue("b", "k", bytes, length);
    ini.SetValue("b", "new", bytes, length);
    EXPECT_EQ(Get(ini, "b", "k"), "AP8QYQ==") << length;
    EXPECT_EQ(Get(ini, "b", "new"), "<none>") << length;
  }
  ini.SetValue("", "k", "lost");
  ini.SetValue("s", "", "lost");
  ini.SetValue("s", "a=b", "c");
  ini.SetValue("s", "line", "one\n[t]\nx=injected");
  CIniFile back(WriteRaw(Written(ini), "back.ini").c_str());
  EXPECT_EQ(Written(back), "[s]\nzero=0\nmin=-2147483648\na=b=c\nline=one\n[t]\nx=injected\n[b]\nk=AP8QYQ==\nempty=\n");
  EXPECT_EQ(ini.Write((dir_ / "no-such-folder/x.ini").c_str()), 0);
  // A full disk may show only when closing; only where /dev/full refuses every byte.
  FILE* full = fopen("/dev/full", "wb");
  const bool refusesEveryByte = full && (fputc('x', full), fclose(full) != 0);
  EXPECT_TRUE(!refusesEveryByte || ini.Write("/dev/full") == 0);
}

// Past the reader's 64 KiB buffer and every byte but the line ends.
TEST_F(IniFileTest, LongLinesAndEveryByte) {
  std::string huge(100000, 'v'), bytes;
  for (int c = 1; c < 256; ++c)
    if (c != '\n' && c != '\r' && c != '=') bytes += static_cast<char>(c);
  CIniFile ini(WriteRaw("[h]\nbig=" + huge + "\nbin=" + bytes + "\n[" + huge + "]\nk=v").c_str());
  EXPECT_EQ(Get(ini, "h", "big"), huge);
  EXPECT_EQ(Get(ini, huge.c_str(), "k"), "v");
  CIniFile back(WriteRaw(Written(ini), "back.ini").c_str());
  EXPECT_EQ(Get(back, "h", "bin"), bytes);
}

// Any model of what the format carries (no line feed or zero byte, no "=" in a
// key) reads back whole: every value, nothing more, and in the same order, as
// the file it writes again is the same.
TEST_F(IniFileTest, ModelsTheFormatCarriesReadBackWhole) {
  std::mt19937 rng(37);
  const std::string text = " \t\r;=[]\"'#\\aZ9\x01\xE9\xFF", key = " \t\r;[]\"'#\\aZ9\x01\xE9\xFF";
  for (int round = 0; round < 100; ++round) {
    CIniFile ini;
    std::map<std::string, std::map<std::string, std::string>> model;
    size_t lines = 0;
    for (int n = rng() % 12; n > 0; --n) {
      std::string section = RandomText(rng, text, 1, 6), name = RandomText(rng, key, 1, 6);
      if (name[0] == '[') name[0] = 'k';  // "[k=v]" would be a header
      lines += model[section].count(name) ? 0 : model[section].empty() ? 2 : 1;
      model[section][name] = RandomText(rng, text, 0, 8);
      ini.SetValue(section.c_str(), name.c_str(), model[section][name].c_str());
    }
    ASSERT_EQ(ini.Write((dir_ / "first.ini").c_str()), 1);
    CIniFile back((dir_ / "first.ini").c_str());
    for (const auto& [section, keys] : model)
      for (const auto& [name, value] : keys) EXPECT_EQ(Get(back, section.c_str(), name.c_str()), value) << name;
    ASSERT_EQ(back.Write((dir_ / "second.ini").c_str()), 1);
    const std::string first = ReadFileBytes(dir_ / "first.ini");
    EXPECT_EQ(ReadFileBytes(dir_ / "second.ini"), first);
    size_t ends = 0;
    for (size_t at = 0; (at = first.find("\r\n", at)) != std::string::npos; at += 2) ++ends;
    EXPECT_EQ(ends, lines);
  }
}
