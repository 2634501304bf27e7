// The profile functions as Win32 answers them; the same assertions run on Linux
// and under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/random_text.h"
#include "tests/support/scratch_registry.h"

namespace {

class Win32Profile : public testing::Test {
protected:
  void Plant(const std::string& content) { std::ofstream(file_, std::ios::binary) << content; }
  std::string Get(const char* section, const char* key, const char* fallback = "<default>") {
    char buffer[256];
    DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, file_.c_str());
    return std::string(buffer, length);
  }
  // A list result as far as its count goes (each text with its zero).
  std::string Section(const char* section) {
    char buffer[256];
    return std::string(buffer, GetPrivateProfileSectionA(section, buffer, sizeof buffer, file_.c_str()));
  }
  // "result/last error" of a call, the error set before to a value no call sets.
  template <typename Call>
  static std::string Outcome(Call call) {
    SetLastError(0xdeadbeef);
    DWORD result = call();
    return std::to_string(result) + "/" + std::to_string(GetLastError());
  }
  static std::string Refused(DWORD error) { return "0/" + std::to_string(error); }
  std::string SectionNames() {
    char buffer[256];
    return std::string(buffer, GetPrivateProfileSectionNamesA(buffer, sizeof buffer, file_.c_str()));
  }

  ScratchFolder scratch_;
  std::string file_ = scratch_ / "test.ini";
};

// A literal with its embedded zeros, without the one the compiler adds.
template <size_t N>
std::string List(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// The item of that name, added at the end when missing; a name found is turned
// to capitals, to be written in another case.
template <typename T>
T& Slot(std::vector<std::pair<std::string, T>>& items, std::string& name) {
  for (auto& item : items)
    if (item.first == name) {
      for (char& c : name) c = static_cast<char>(toupper(c));
      return item.second;
    }
  return items.emplace_back(name, T()).second;
}

std::string Unquoted(const std::string& text) {
  const bool quoted = text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
  return quoted ? text.substr(1, text.size() - 2) : text;
}

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(' ') + 1 - start);
}

TEST_F(Win32Profile, ListsAreCutToTheBufferWithTheCountLessTwo) {
  Plant("[Main]\nKey1=value one\nkey2=b\n[Other]\nx=1\n[Main]\ndup=2\n");
  const std::string names("Main\0Other\0Main\0", 16), keys("Key1\0key2\0", 10), lines("Key1=value one\0key2=b\0", 22);
  struct Case {
    const char* what;
    std::string full;
    DWORD (*read)(char*, DWORD, const char*);
  } cases[] = {
      {"names", names, [](char* b, DWORD n, const char* f) { return GetPrivateProfileSectionNamesA(b, n, f); }},
      {"names by string", names,
       [](char* b, DWORD n, const char* f) { return GetPrivateProfileStringA(nullptr, nullptr, "", b, n, f); }},
      {"keys", keys,
       [](char* b, DWORD n, const char* f) { return GetPrivateProfileStringA("MAIN", nullptr, "", b, n, f); }},
      {"section", lines, [](char* b, DWORD n, const char* f) { return GetPrivateProfileSectionA("main", b, n, f); }},
  };
  for (const Case& c : cases) {
    char buffer[64];
    EXPECT_EQ(c.full.size(), c.read(buffer, sizeof buffer, file_.c_str())) << c.what;
    EXPECT_EQ(c.full + '\0', std::string(buffer, c.full.size() + 1)) << c.what;
    for (DWORD size : {3u, 6u, 7u, 10u}) {
      memset(buffer, 'x', sizeof buffer);
      EXPECT_EQ(size - 2, c.read(buffer, size, file_.c_str())) << c.what << " in " << size;
      EXPECT_EQ(c.full.substr(0, size - 2) + '\0', std::string(buffer, size - 1)) << c.what << " in " << size;
    }
  }
  char buffer[8];
  EXPECT_EQ(4u, GetPrivateProfileStringA("Main", "Key1", "", buffer, 5, file_.c_str()));
  EXPECT_STREQ("valu", buffer);
  EXPECT_EQ(0u, GetPrivateProfileStringA("Main", "Key1", "", buffer, 0, file_.c_str()));  // no room: nothing written
  EXPECT_STREQ("valu", buffer);
  // The names need one byte more than the list: a buffer of exactly its size is cut.
  char exact[17];
  EXPECT_EQ(15u, GetPrivateProfileSectionNamesA(exact, sizeof exact, file_.c_str()));
  EXPECT_EQ(names.substr(0, 15) + '\0', std::string(exact, 16));
}

// Files written with their string's terminating zero, as programs do.
TEST_F(Win32Profile, SectionHoldsEntriesAndBareLinesAndAZeroByteEndsItsLineAndTheFile) {
  Plant(List("; top\n[s]\r\n  k =  ab\0cd  \r\n; comment\nq=\"quoted \"\nbare\r\n\n=v\r\nk3=\n[s]\ndup=2\n\0[t]\n"));
  EXPECT_EQ(List("k=ab\0q=\"quoted \"\0bare\0=v\0k3=\0"), Section("s"));
  EXPECT_EQ("ab", Get("s", "k"));
  EXPECT_EQ(List("s\0s\0"), SectionNames());
  EXPECT_EQ("0/0", Outcome([&] { return DWORD(Section("missing").size()); }));
  EXPECT_EQ(Refused(ERROR_INVALID_PARAMETER), Outcome([&] { return DWORD(Section(nullptr).size()); }));
}

TEST_F(Win32Profile, StructIsHexWithAChecksumByte) {
  unsigned char data[] = {0x01, 0xAB, 0xFF, 0x10};
  ASSERT_TRUE(WritePrivateProfileStructA("S", "k", (LPVOID)data, sizeof data, file_.c_str()));
  EXPECT_EQ("01ABFF10BB", Get("S", "k"));
  ASSERT_TRUE(WritePrivateProfileStructA("S", "none", (LPVOID)data, 0, file_.c_str()));
  EXPECT_EQ("00", Get("S", "none"));
  unsigned char empty[1];
  EXPECT_TRUE(GetPrivateProfileStructA("S", "none", empty, 0, file_.c_str()));

  Plant("[S]\nk=01ABFF10BB\nlower=01abff10bb\nspaced=  01ABFF10BB  \nsum=01ABFF10BC\nquoted=\"01ABFF10BB\"\n");
  struct Case {
    const char* key;
    UINT size;
    BOOL expected;
  } cases[] = {
      {"k", 4, TRUE}, {"lower", 4, TRUE}, {"spaced", 4, TRUE}, {"k", 5, FALSE}, {"sum", 4, FALSE}, {"quoted", 4, FALSE},
  };
  for (const Case& c : cases) {
    unsigned char read[8] = {};
    EXPECT_EQ(c.expected, GetPrivateProfileStructA("s", c.key, read, c.size, file_.c_str())) << c.key << c.size;
    if (c.expected) {
      EXPECT_EQ(0, memcmp(data, read, sizeof data)) << c.key;
    }
  }

  ASSERT_TRUE(WritePrivateProfileStructA("S", "k", nullptr, 4, file_.c_str()));
  EXPECT_EQ("<default>", Get("S", "k"));
  EXPECT_EQ("01abff10bb", Get("S", "lower"));
  ASSERT_TRUE(WritePrivateProfileStringA("S", "lower", nullptr, file_.c_str()));
  EXPECT_EQ("<default>", Get("S", "lower"));
  ASSERT_TRUE(WritePrivateProfileStructA("S", nullptr, nullptr, 0, file_.c_str()));
  EXPECT_EQ("", SectionNames());
}

// Written entries read back whole: the sections and their lines in the order
// first written, a name written again in capitals keeping its spelling and
// place, each value trimmed, and out of its quotes for a lookup; struct bytes too.
TEST_F(Win32Profile, WrittenEntriesReadBackWhole) {
  std::mt19937 rng(37);
  // Few names, so that many are written again; letters at both ends of the alphabet.
  const std::string name = "az09.~_", text = "abkz09.,:!#%&()~-_ ;=[]\"'";
  for (int round = 0; round < 30; ++round) {
    file_ = scratch_ / ("round" + std::to_string(round) + ".ini");
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::pair<std::string, std::string>>>>> model;
    for (int n = rng() % 16; n > 0; --n) {
      std::string section = RandomText(rng, name, 1, 2), key = RandomText(rng, name, 1, 2);
      const std::string core = RandomText(rng, text, 0, 8), value = rng() % 3 ? core : "'" + core + "'";
      Slot(Slot(model, section), key) = {Trim(value), Unquoted(Trim(value))};  // as listed, as looked up
      const std::string padded = std::string(rng() % 3, ' ') + value + std::string(rng() % 3, ' ');
      ASSERT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), padded.c_str(), file_.c_str()));
    }
    std::string names;
    for (const auto& [section, keys] : model) {
      std::string lines;
      for (const auto& [key, value] : keys) {
        lines += key + "=" + value.first + '\0';
        EXPECT_EQ(value.second, Get(section.c_str(), key.c_str())) << key;
      }
      EXPECT_EQ(lines, Section(section.c_str())) << section;
      names += section + '\0';
    }
    EXPECT_EQ(names, SectionNames());
  }
  for (UINT size = 0; size < 40; ++size) {
    std::string bytes(size, '\0'), read(size + 1, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    ASSERT_TRUE(WritePrivateProfileStructA("s", "k", &bytes[0], size, file_.c_str()));
    EXPECT_TRUE(GetPrivateProfileStructA("s", "k", &read[0], size, file_.c_str())) << size;
    EXPECT_EQ(bytes + '\0', read);  // not a byte more
  }
}

}  // namespace
