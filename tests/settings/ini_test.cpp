#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "korvex/korvex.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
  std::string Path(const char* name) {
    created_.push_back(::testing::TempDir() + "korvex_ini_" + std::to_string(getpid()) + "_" + name);
    return created_.back();
  }
  void TearDown() override {
    for (const std::string& path : created_) remove(path.c_str());
  }
  std::string WriteRaw(const std::string& bytes, const char* name = "in.ini") {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string ReadRaw(const std::string& path) {
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
  }
  // The file text a model writes, with "\r\n" shown as "\n".
  std::string Written(const CIniFile& ini) {
    std::string path = Path("out.ini");
    EXPECT_EQ(ini.Write(path.c_str()), 1);
    std::string text = ReadRaw(path);
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
  }
  static std::string Get(const CIniFile& ini, const char* section, const char* key) {
    return static_cast<const char*>(ini.GetValue(section, key, "<none>"));
  }

private:
  std::vector<std::string> created_;
};

}  // namespace

TEST_F(IniFileTest, LineGrammar) {
  CIniFile ini(WriteRaw("before=header\n"
                        "[s]\n"
                        "key=value\r\n"
                        "=starts with equals\n"
                        "no equals here\n"
                        "empty=\n"
                        "two=a=b\n"
                        " spaced = padded \n"
                        ";comment=yes\n"
                        "\n"
                        "[\n"
                        "after [=still s\n"
                        " [t]\n"
                        "[a]b=c]\n"
                        "k=in odd\n")
                   .c_str());
  EXPECT_EQ(Get(ini, "", "before"), "<none>");
  EXPECT_EQ(Get(ini, "s", "before"), "<none>");
  EXPECT_EQ(Get(ini, "s", "key"), "value");
  EXPECT_EQ(Get(ini, "s", ""), "<none>");
  EXPECT_EQ(Get(ini, "s", "empty"), "");
  EXPECT_EQ(Get(ini, "s", "two"), "a=b");
  EXPECT_EQ(Get(ini, "s", " spaced "), " padded ");
  EXPECT_EQ(Get(ini, "s", "spaced"), "<none>");
  EXPECT_EQ(Get(ini, "s", ";comment"), "yes");
  EXPECT_EQ(Get(ini, "s", "after ["), "still s");
  EXPECT_EQ(Get(ini, "a]b=c", "k"), "in odd");
  EXPECT_EQ(Get(ini, "t", "k"), "<none>");
  EXPECT_EQ(Get(ini, "S", "key"), "<none>");  // names are case-sensitive
  EXPECT_EQ(Get(ini, "s", "KEY"), "<none>");
}

TEST_F(IniFileTest, EmptyHeaderSuspendsKeysUntilTheNextNamedHeader) {
  CIniFile ini(WriteRaw("[s]\na=1\n[]\nb=2\n[ ]\nc=3\n[s]\nd=4").c_str());
  EXPECT_EQ(Get(ini, "s", "a"), "1");
  EXPECT_EQ(Get(ini, "s", "b"), "<none>");
  EXPECT_EQ(Get(ini, "", "b"), "<none>");
  EXPECT_EQ(Get(ini, " ", "c"), "3");  // a space is a name
  EXPECT_EQ(Get(ini, "s", "d"), "4");  // no final line end
  EXPECT_EQ(Written(ini), "[s]\na=1\nd=4\n[ ]\nc=3\n");
}

TEST_F(IniFileTest, DuplicatesMergeAndFilesAccumulate) {
  CIniFile ini;
  ASSERT_EQ(ini.Read(WriteRaw("[s]\na=1\nb=1\n[t]\nx=1\n[s]\na=2\n", "one.ini").c_str()), 1);
  EXPECT_EQ(Get(ini, "s", "a"), "2");
  EXPECT_EQ(Get(ini, "s", "b"), "1");
  ASSERT_EQ(ini.Read(WriteRaw("[t]\nx=9\n[u]\ny=1\n", "two.ini").c_str()), 1);
  EXPECT_EQ(Get(ini, "s", "a"), "2");
  EXPECT_EQ(Get(ini, "t", "x"), "9");
  EXPECT_EQ(Get(ini, "u", "y"), "1");
}

// Failed reads, an empty file and lookups of missing names add nothing.
TEST_F(IniFileTest, ReadFailuresAndLookupsLeaveTheModelAlone) {
  CIniFile ini;
  ini.SetValue("s", "k", "v");
  EXPECT_EQ(ini.Read(Path("missing.ini").c_str()), 0);
  EXPECT_EQ(ini.Read(::testing::TempDir().c_str()), 0);  // a folder
  EXPECT_EQ(ini.Read(WriteRaw("").c_str()), 1);
  EXPECT_EQ(ini.GetValue("ghost", "k", 1), 1);
  EXPECT_EQ(Get(ini, "ghost", "k"), "<none>");
  EXPECT_EQ(ini.GetValue("s", "ghost", 2), 2);
  EXPECT_EQ(Get(ini, "s", "ghost"), "<none>");
  EXPECT_STREQ(ini.GetValue("ghost", "k", static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(Written(ini), "[s]\nk=v\n");
  CIniFile fromMissing(Path("missing.ini").c_str());
  EXPECT_EQ(Written(fromMissing), "");
}

// atoi of the text; a result of 0 counts only for the text "0". Past 32 bits
// the value wraps, on every target alike.
TEST_F(IniFileTest, IntegerLookupZeroRule) {
  struct Case {
    const char* text;  // NULL: no such key
    int value;
  } cases[] = {
      {"7", 7},    {"-3", -3}, {"0", 0},   {"12abc", 12}, {"  5", 5},  {"4294967295", -1}, {"18446744073709551617", 1},
      {"abc", 99}, {"00", 99}, {"-0", 99}, {" 0", 99},    {"0x0", 99}, {"", 99},           {NULL, 99}};
  for (const Case& c : cases) {
    CIniFile ini;
    if (c.text) ini.SetValue("n", "k", c.text);
    EXPECT_EQ(ini.GetValue("n", "k", 99), c.value) << (c.text ? c.text : "NULL");
    EXPECT_EQ(ini.GetValue("other", "k", 98), 98);
  }
}

TEST_F(IniFileTest, SettersStoreText) {
  CIniFile ini;
  ini.SetValue("s", "neg", -1);
  ini.SetValue("s", "zero", 0);
  ini.SetValue("s", "min", -2147483647 - 1);
  EXPECT_EQ(Get(ini, "s", "neg"), "-1");
  EXPECT_EQ(ini.GetValue("s", "neg", 5), -1);
  EXPECT_EQ(ini.GetValue("s", "zero", 5), 0);
  EXPECT_EQ(Get(ini, "s", "min"), "-2147483648");
  ini.SetValue("s", "neg", "again");
  EXPECT_EQ(Get(ini, "s", "neg"), "again");

  const unsigned char bytes[] = {0x00, 0xFF, 0x10, 'a'};
  const struct {
    unsigned long length;
    const char* text;
  } stored[] = {{0, ""}, {1, "AA=="}, {2, "AP8="}, {4, "AP8QYQ=="}};
  for (const auto& c : stored) {
    ini.SetValue("b", "k", bytes, c.length);
    EXPECT_EQ(Get(ini, "b", "k"), c.text) << c.length;
  }
  CBuffer decoded;
  EXPECT_EQ(CBase64::Decode(ini.GetValue("b", "k", ""), decoded), 1);
  ASSERT_EQ(decoded.Len(), 4u);
  EXPECT_EQ(memcmp(decoded.Ptr(), bytes, 4), 0);
}

// Lengths whose Base64 text no string can hold, or that a 32-bit count would
// cut, store nothing; the data is never read.
TEST_F(IniFileTest, OversizedBytesAreNotStored) {
  const unsigned char bytes[] = {0x00, 0xFF, 0x10, 'a'};
  std::vector<unsigned long> lengths = {1610612734ul, 0xFFFFFFFFul};
  if (sizeof(unsigned long) > 4) lengths.push_back(static_cast<unsigned long>((1ull << 32) + 4));
  for (unsigned long length : lengths) {
    CIniFile ini;
    ini.SetValue("b", "k", "old");
    ini.SetValue("b", "k", bytes, length);
    ini.SetValue("b", "new", bytes, length);
    EXPECT_EQ(Get(ini, "b", "k"), "old") << length;
    EXPECT_EQ(Get(ini, "b", "new"), "<none>") << length;
  }
}

TEST_F(IniFileTest, WriteReplacesTheFileAndPrependsEveryPiece) {
  std::string path = WriteRaw("old content", "order.ini");
  EXPECT_EQ(CIniFile().Write(path.c_str()), 1);
  EXPECT_EQ(ReadRaw(path), "");
  // The maps enumerate newest first; prepending gives the order of storing.
  CIniFile ini;
  ini.SetValue("A", "a1", "1");
  ini.SetValue("A", "a2", "2");
  ini.SetValue("B", "b1", "3");
  ini.SetValue("A", "a1", "4");  // overwriting keeps the place
  EXPECT_EQ(ini.Write(path.c_str()), 1);
  EXPECT_EQ(ReadRaw(path), "[A]\r\na1=4\r\na2=2\r\n[B]\r\nb1=3\r\n");
  EXPECT_EQ(ini.Write((::testing::TempDir() + "korvex-no-such-folder/x.ini").c_str()), 0);
}

TEST_F(IniFileTest, WriteReportsAFullDisk) {
  // Only where /dev/full is the device that refuses every byte.
  FILE* full = fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full here";
  fputc('x', full);
  if (fclose(full) == 0) GTEST_SKIP() << "/dev/full takes bytes here";
  CIniFile ini;
  ini.SetValue("s", "k", "v");
  EXPECT_EQ(ini.Write("/dev/full"), 0);
  EXPECT_EQ(Get(ini, "s", "k"), "v");
}

TEST_F(IniFileTest, ReadThenWriteKeepsTheFileOrder) {
  std::string text = "[zeta]\nb=2\na=1\n[alpha]\nz=26\ny=25\nx=\n[mid]\nq==q\n";
  CIniFile ini(WriteRaw(text).c_str());
  EXPECT_EQ(Written(ini), text);
}

// Nothing is escaped: these are written as they are and do not read back the
// same. A line break in a value starts a line of its own, which the grammar
// then reads like any other line (settings.h tells products to check).
TEST_F(IniFileTest, WhatTheFormatCannotCarry) {
  CIniFile ini;
  ini.SetValue("", "k", "lost");
  ini.SetValue("s", "", "lost");
  ini.SetValue("s", "a=b", "c");
  ini.SetValue("s", "line", "one\n[t]\nx=injected");
  CIniFile back(WriteRaw(Written(ini), "back.ini").c_str());
  EXPECT_EQ(Get(back, "", "k"), "<none>");
  EXPECT_EQ(Get(back, "s", ""), "<none>");
  EXPECT_EQ(Get(back, "s", "a"), "b=c");
  EXPECT_EQ(Get(back, "s", "line"), "one");
  EXPECT_EQ(Get(back, "t", "x"), "injected");
}

// Past the reader's 64 KiB buffer, every byte but the line ends, a zero byte, lines of
// nothing but headers or "=", and "\r" alone, which ends no line.
TEST_F(IniFileTest, HostileInput) {
  std::string huge(100000, 'v'), bytes;
  for (int c = 1; c < 256; ++c)
    if (c != '\n' && c != '\r' && c != '=') bytes += static_cast<char>(c);
  CIniFile ini(WriteRaw("[h]\nbig=" + huge + "\nbin=" + bytes + "\n" + std::string("nul=ab\0cd\n\0lost=1\n", 18) + "[" +
                        huge + "]\nk=v")
                   .c_str());
  EXPECT_EQ(Get(ini, "h", "big"), huge);
  EXPECT_EQ(Get(ini, "h", "nul"), "ab");
  EXPECT_EQ(Get(ini, "h", ""), "<none>");
  EXPECT_EQ(Get(ini, huge.c_str(), "k"), "v");
  CIniFile back(WriteRaw(Written(ini), "back.ini").c_str());
  EXPECT_EQ(Get(back, "h", "bin"), bytes);
  for (const char* text : {"[a]\n[b]\n[]\n[c]", "=\n==\n[s]\n=\n=x\n", "[s]\rk=v\r"})
    EXPECT_EQ(Written(CIniFile(WriteRaw(text, "odd.ini").c_str())), "") << text;
}
