// COptionStorage in both modes, checked through the profile and registry calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"

namespace {

class OptionsTest : public testing::Test {
 protected:
  // The scratch key is HKEY_CURRENT_USER\Software\korvex-tests\<leaf>, so the
  // store's "SOFTWARE" + first + second lands on it.
  int OpenOnScratchKey(COptionStorage& store) {
    return store.Open("korvex-tests", scratch_.path().substr(scratch_.path().rfind('\\') + 1).c_str(), 1);
  }
  std::string IniPath(const char* name) {
    std::string path = ScratchFolderOfProgram() + scratch_.path().substr(scratch_.path().rfind('\\') + 1) + name;
    created_.push_back(path);
    return path;
  }
  std::string ProfileText(const std::string& path, const char* section, const char* key) {
    char text[64];
    GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, path.c_str());
    return text;
  }
  std::string RegistryValue(const std::string& below, const char* name) {
    HKEY key = nullptr;
    std::string path = below.empty() ? scratch_.path() : scratch_ / below;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    BYTE data[64];
    DWORD type = 0, size = sizeof data;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "<missing>";
    return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
  }
  bool KeyExists(const std::string& below) { return RegistryValue(below, "<none>") != "<no key>"; }
  // Backslashes are separators for Win32 calls; '/' serves on both targets.
  static std::string Slashed(std::string path) {
    for (char& c : path)
      if (c == '\\') c = '/';
    return path;
  }
  void TearDown() override {
    std::error_code ignored;
    for (const std::string& path : created_) std::filesystem::remove(Slashed(path), ignored);
  }

  ScratchKey scratch_;
  std::vector<std::string> created_;
};

TEST_F(OptionsTest, IniModeUsesDefaultWithoutASection) {
  std::string path = IniPath("ini-mode.ini");
  COptionStorage store;
  ASSERT_EQ(1, store.OpenIniFile(path.c_str()));
  store.SetValue("number", -42);
  store.SetValue("text", "plain");
  EXPECT_EQ("-42", ProfileText(path, "Default", "number"));
  EXPECT_EQ("plain", ProfileText(path, "Default", "text"));

  ASSERT_EQ(1, store.SetSection("Mine"));
  store.SetValue("text", "in section");
  EXPECT_EQ("in section", ProfileText(path, "Mine", "text"));
  EXPECT_EQ(-7, store.GetValue("number", -7));

  // The empty name goes back to "Default".
  ASSERT_EQ(1, store.SetSection(""));
  EXPECT_EQ(-42, store.GetValue("number", 0));
  EXPECT_STREQ("plain", store.GetValue("text", "dflt"));
  EXPECT_STREQ("dflt", store.GetValue("missing", "dflt"));
  EXPECT_EQ(1, store.SetSection(nullptr));
}

TEST_F(OptionsTest, RegistryModeKeepsSectionsBesideEachOther) {
  COptionStorage store;
  ASSERT_EQ(1, OpenOnScratchKey(store));
  store.SetValue("number", -1);
  // Directly in the root key as a REG_DWORD, two's complement.
  EXPECT_EQ(std::string("4:") + std::string(4, '\xff'), RegistryValue("", "number"));
  EXPECT_FALSE(KeyExists("Default"));

  ASSERT_EQ(1, store.SetSection("First"));
  store.SetValue("text", "one");
  ASSERT_EQ(1, store.SetSection("Second"));
  store.SetValue("text", "two");
  EXPECT_TRUE(KeyExists("Second"));
  EXPECT_FALSE(KeyExists("First\\Second"));
  ASSERT_EQ(1, store.SetSection("First\\Deep"));
  store.SetValue("n", 5);
  EXPECT_EQ(5, store.GetValue("n", 0));
  EXPECT_TRUE(KeyExists("First\\Deep"));

  ASSERT_EQ(1, store.SetSection("First"));
  EXPECT_STREQ("one", store.GetValue("text", ""));
  ASSERT_EQ(1, store.SetSection(""));
  EXPECT_EQ(-1, store.GetValue("number", 0));
  EXPECT_STREQ("", store.GetValue("text", nullptr));
}

TEST_F(OptionsTest, RegistryValuesOfAnotherTypeGiveTheDefault) {
  COptionStorage store;
  ASSERT_EQ(1, OpenOnScratchKey(store));
  store.SetValue("number", 12);
  store.SetValue("text", "12");
  EXPECT_EQ(-3, store.GetValue("text", -3));
  EXPECT_STREQ("dflt", store.GetValue("number", "dflt"));
  EXPECT_EQ(12, store.GetValue("number", -3));
  EXPECT_STREQ("12", store.GetValue("text", "dflt"));
}

TEST_F(OptionsTest, RegistryTextReadsUpTo4095Bytes) {
  // Stored without a terminator (Win32 adds one when a zero byte follows the
  // data), so the sizes are exact on every platform.
  struct Case {
    size_t length;
    bool read;
  } cases[] = {{4094, true}, {4095, true}, {4096, false}, {5000, false}};
  COptionStorage store;
  ASSERT_EQ(1, OpenOnScratchKey(store));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 't');
    std::string padded = text + '!';
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_.get(), "long", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(padded.data()), (DWORD)c.length));
    EXPECT_TRUE((c.read ? text : std::string("dflt")) == static_cast<const char*>(store.GetValue("long", "dflt")));
  }
  // Through the store itself: too long to come back.
  store.SetValue("long", std::string(4096, 's').c_str());
  EXPECT_STREQ("dflt", store.GetValue("long", "dflt"));
}

TEST_F(OptionsTest, OpeningAnOpenStoreFails) {
  std::string path = IniPath("state.ini");
  struct Case {
    const char* name;
    int registry;
  } modes[] = {{"ini", 0}, {"registry", 1}};
  for (const Case& mode : modes) {
    SCOPED_TRACE(mode.name);
    COptionStorage store;
    ASSERT_EQ(1, mode.registry ? OpenOnScratchKey(store) : store.OpenIniFile(path.c_str()));
    ASSERT_EQ(1, store.SetSection("Kept"));
    EXPECT_EQ(0, store.OpenIniFile(path.c_str()));
    EXPECT_EQ(0, store.OpenIniFile(nullptr, nullptr));
    EXPECT_EQ(0, store.OpenRegistry("korvex-tests", "other"));
    EXPECT_EQ(0, store.Open("korvex-tests", "other", 1));
    // Nothing changed: values still go to the section of the first open.
    store.SetValue("v", 3);
    EXPECT_EQ(3, store.GetValue("v", 0));
    EXPECT_EQ(mode.registry ? "4:" + std::string("\x03\0\0\0", 4) : "<no key>", RegistryValue("Kept", "v"));
    store.Close();
    // Closing forgets the section; the next open starts without one.
    EXPECT_EQ(1, store.OpenIniFile(path.c_str()));
    store.SetValue("after", 9);
    EXPECT_EQ("9", ProfileText(path, "Default", "after"));
  }
}

TEST_F(OptionsTest, ClosedStoreDoesNothingAndGivesTheDefault) {
  COptionStorage store;
  EXPECT_EQ(1, store.SetSection("Chosen"));
  store.SetValue("n", 1);
  store.SetValue("t", "text");
  EXPECT_EQ(-5, store.GetValue("n", -5));
  EXPECT_STREQ("dflt", store.GetValue("t", "dflt"));
  EXPECT_STREQ("", store.GetValue("t", nullptr));

  // An empty path opens nothing.
  EXPECT_EQ(1, store.OpenIniFile(""));
  store.SetValue("n", 2);
  EXPECT_EQ(-5, store.GetValue("n", -5));
  // The section chosen while closed is dropped by the open.
  std::string path = IniPath("closed.ini");
  ASSERT_EQ(1, store.OpenIniFile(path.c_str()));
  store.SetValue("n", 3);
  EXPECT_EQ("3", ProfileText(path, "Default", "n"));
  EXPECT_EQ("<missing>", ProfileText(path, "Chosen", "n"));
}

TEST_F(OptionsTest, SameSectionIsNotReopened) {
  COptionStorage store;
  ASSERT_EQ(1, OpenOnScratchKey(store));
  ASSERT_EQ(1, store.SetSection("Gone"));
  ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyA(scratch_.get(), "Gone"));
  // The open handle still addresses the deleted key; reopening would create it again.
  EXPECT_EQ(1, store.SetSection("Gone"));
  store.SetValue("v", 1);
  EXPECT_FALSE(KeyExists("Gone"));
  EXPECT_EQ(1, store.SetSection("gone"));  // another spelling is another section name
  store.SetValue("v", 1);
  EXPECT_EQ("4:" + std::string("\x01\0\0\0", 4), RegistryValue("Gone", "v"));
}

TEST_F(OptionsTest, AppDataFiles) {
  char appData[MAX_PATH];
  ASSERT_GE(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData), 0);
  std::string leaf = scratch_.path().substr(scratch_.path().rfind('\\') + 1);
  std::string folder = std::string(appData) + "\\" + leaf;
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));

  struct Case {
    const char* subfolder;
    const char* file;
    std::string expected;  // the file the value lands in
  } cases[] = {
      {nullptr, nullptr, std::string(appData) + "\\setup.ini"},
      {leaf.c_str(), nullptr, folder + "\\setup.ini"},
      {leaf.c_str(), "named.ini", folder + "\\named.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    created_.push_back(c.expected);
    COptionStorage store;
    ASSERT_EQ(1, store.Open(c.subfolder, c.file, 0));
    store.SetValue("where", "here");
    EXPECT_EQ("here", ProfileText(c.expected, "Default", "where"));
  }
  // A missing subfolder is not created, so nothing can be written there.
  COptionStorage store;
  ASSERT_EQ(1, store.OpenIniFile((leaf + "-missing").c_str(), nullptr));
  store.SetValue("where", "nowhere");
  EXPECT_STREQ("dflt", store.GetValue("where", "dflt"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "-missing").c_str()));
  created_.push_back(folder);  // removed last, once empty
}

TEST_F(OptionsTest, CopiesShareTheFile) {
  std::string path = IniPath("copy.ini");
  COptionStorage store;
  ASSERT_EQ(1, store.OpenIniFile(path.c_str()));
  ASSERT_EQ(1, store.SetSection("S"));
  COptionStorage copy(store);
  copy.SetValue("v", 8);
  EXPECT_EQ(8, store.GetValue("v", 0));
  COptionStorage assigned;
  assigned = store;
  EXPECT_EQ(8, assigned.GetValue("v", 0));
}

}  // namespace
