// Profile files and the application-data folder as Win32 documents them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "korvex/platform.h"
#include "tests/posix/registry_scratch.h"

namespace {

class Profile : public testing::Test {
 protected:
  void WriteFile(const std::string& path, const std::string& content) { std::ofstream(path) << content; }
  std::string ReadFile(const std::string& path) {
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    return content.str();
  }
  std::string Get(const char* section, const char* key, const char* fallback = "<default>") {
    char buffer[256];
    DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, file_.c_str());
    return std::string(buffer, length);
  }

  ScratchFolder scratch_;
  std::string file_ = scratch_ / "test.ini";
};

TEST_F(Profile, ReadsNamesCaseInsensitivelyAndTrimsValues) {
  WriteFile(file_,
            "; a comment=not a key\n"
            "[Main]\r\n"
            "  Key1 =  value one  \r\n"
            "key2=\"quoted value \"\n"
            "Key3='single'\n"
            "Key4=\"unbalanced\n"
            "Number = -42abc\n"
            "  [ Other ]\n"
            "x=1\n");
  EXPECT_EQ("value one", Get("MAIN", "key1"));
  EXPECT_EQ("quoted value ", Get("main", "KEY2"));
  EXPECT_EQ("single", Get("Main", "Key3"));
  EXPECT_EQ("\"unbalanced", Get("Main", "Key4"));
  EXPECT_EQ("1", Get("other", "X"));
  EXPECT_EQ("<default>", Get("Main", "x"));  // keys belong to their own section
  EXPECT_EQ("fallback", Get("Main", "absent", "fallback  "));
  EXPECT_EQ("", Get("Main", "absent", nullptr));

  EXPECT_EQ(-42, (int)GetPrivateProfileIntA("main", "number", 7, file_.c_str()));
  EXPECT_EQ(0u, GetPrivateProfileIntA("main", "key1", 7, file_.c_str()));
  EXPECT_EQ(7u, GetPrivateProfileIntA("main", "absent", 7, file_.c_str()));
  EXPECT_EQ(1u, GetPrivateProfileIntA("Other", "x", 7, file_.c_str()));
  EXPECT_EQ(5u, GetPrivateProfileIntA("Main", "x", 5, (scratch_ / "missing.ini").c_str()));
}

TEST_F(Profile, ResultLengthsAndTruncation) {
  WriteFile(file_, "[Main]\nKey1=value one\nkey2=b\n[Other]\nx=1\n");
  char buffer[32];
  EXPECT_EQ(4u, GetPrivateProfileStringA("Main", "Key1", "", buffer, 5, file_.c_str()));
  EXPECT_STREQ("valu", buffer);

  // Section names: each ends in a zero, the list in a second one.
  EXPECT_EQ(11u, GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, file_.c_str()));
  EXPECT_EQ(std::string("Main\0Other\0\0", 12), std::string(buffer, 12));
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(6u, GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 8, file_.c_str()));
  EXPECT_EQ(std::string("Main\0O\0\0", 8), std::string(buffer, 8));

  EXPECT_EQ(10u, GetPrivateProfileStringA("MAIN", nullptr, "", buffer, sizeof buffer, file_.c_str()));
  EXPECT_EQ(std::string("Key1\0key2\0\0", 11), std::string(buffer, 11));
  EXPECT_EQ(0u, GetPrivateProfileStringA("None", nullptr, "", buffer, sizeof buffer, file_.c_str()));
  EXPECT_EQ(std::string("\0\0", 2), std::string(buffer, 2));
}

TEST_F(Profile, WritesEditInPlaceAndDelete) {
  EXPECT_FALSE(std::filesystem::exists(file_));
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "First", "1", file_.c_str()));
  EXPECT_TRUE(std::filesystem::exists(file_));
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "Second", "2", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Tail", "t", "x", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("MAIN", " first ", "one", file_.c_str()));
  EXPECT_EQ("[Main]\r\nFirst=one\r\nSecond=2\r\n[Tail]\r\nt=x\r\n", ReadFile(file_));

  // A comment and a blank line stay put; new keys go after the section's last key.
  WriteFile(file_, "; keep me\n[Main]\nFirst=one\n\n[Tail]\nt=x\n");
  ASSERT_TRUE(WritePrivateProfileStringA("main", "Added", "3", file_.c_str()));
  EXPECT_EQ("; keep me\r\n[Main]\r\nFirst=one\r\nAdded=3\r\n\r\n[Tail]\r\nt=x\r\n", ReadFile(file_));

  ASSERT_TRUE(WritePrivateProfileStringA("Main", "FIRST", nullptr, file_.c_str()));
  EXPECT_EQ("<default>", Get("Main", "First"));
  EXPECT_EQ("3", Get("Main", "Added"));
  ASSERT_TRUE(WritePrivateProfileStringA("main", nullptr, nullptr, file_.c_str()));
  EXPECT_EQ("; keep me\r\n[Tail]\r\nt=x\r\n", ReadFile(file_));
  EXPECT_FALSE(std::filesystem::exists(file_ + ".tmp"));

  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", file_.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", (scratch_ / "no/such/folder.ini").c_str()));
}

TEST_F(Profile, PathsWithoutFolderAndWithBackslashes) {
  // A bare name lives in the stand-in for the Windows folder, made on first write.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "bare", "bare.ini"));
  EXPECT_EQ("[S]\r\nk=bare\r\n", ReadFile(scratch_ / "config/korvex/bare.ini"));
  char buffer[16];
  GetPrivateProfileStringA("S", "k", "", buffer, sizeof buffer, "bare.ini");
  EXPECT_STREQ("bare", buffer);

  mkdir((scratch_ / "sub").c_str(), 0755);
  std::string windowsStyle = scratch_.path() + "\\sub\\win.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "slashed", windowsStyle.c_str()));
  EXPECT_EQ("[S]\r\nk=slashed\r\n", ReadFile(scratch_ / "sub/win.ini"));
}

TEST_F(Profile, ApplicationDataFolder) {
  char path[MAX_PATH];
  std::string config = scratch_ / "config";
  EXPECT_EQ(S_FALSE, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path));
  EXPECT_EQ(config, path);
  EXPECT_FALSE(std::filesystem::exists(config));
  ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path));
  EXPECT_EQ(config, path);
  EXPECT_TRUE(std::filesystem::is_directory(config));
  EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path));

  // A relative XDG_CONFIG_HOME does not count: ~/.config is used.
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", scratch_.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", "relative", 1);
  ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path));
  EXPECT_EQ(scratch_ / ".config", path);
  setenv("HOME", home.c_str(), 1);
  EXPECT_TRUE(FAILED(SHGetFolderPathA(nullptr, 0x0005, nullptr, 0, path)));
}

}  // namespace
