// COptionStorage in both modes, checked through the profile and registry calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "korvex/korvex.h"
#include "platform/shell.h"
#include "tests/support/scratch_registry.h"

namespace {

class OptionsTest : public testing::Test {
protected:
  // The scratch key is HKEY_CURRENT_USER\\Software\\korvex-tests\\<leaf>, where
  // the store's "SOFTWARE" + first + second lands.
  std::string Leaf() { return scratch_.path().substr(scratch_.path().rfind('\\') + 1); }
  int OpenOnScratchKey(COptionStorage& store) { return store.Open("korvex-tests", Leaf().c_str(), 1); }
  // In the program's folder, which goes when the program ends.
  std::string IniPath(int n = 0) { return ScratchFolderOfProgram() + Leaf() + std::to_string(n) + ".ini"; }
  std::string ProfileText(const std::string& path, const char* section, const char* key) {
    char text[64];
    GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, path.c_str());
    return text;
  }
  // "type:bytes" of a value below the scratch key, or "<missing>".
  std::string RegistryValue(const char* below, const char* name) {
    BYTE data[64];
    DWORD type = 0, size = sizeof data;
    if (RegGetValueA(scratch_.get(), below, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) return "<missing>";
    return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
  }

  ScratchKey scratch_;
};

const std::string kDwordMinusOne = "4:" + std::string(4, '\xff');

// On a closed store the setters do nothing and the getters give the default.
TEST_F(OptionsTest, IniModeUsesDefaultWithoutASection) {
  std::string path = IniPath();
  COptionStorage store;
  EXPECT_EQ(1, store.SetSection("Chosen"));  // dropped on opening
  EXPECT_EQ(1, store.OpenIniFile(""));       // an empty path opens nothing
  store.SetValue("number", 1);
  store.SetValue("text", "text");
  EXPECT_EQ(-5, store.GetValue("number", -5));
  EXPECT_STREQ("dflt", store.GetValue("text", "dflt"));
  ASSERT_EQ(1, store.OpenIniFile(path.c_str()));
  store.SetValue("number", -1);
  ASSERT_EQ(1, store.SetSection("Mine"));
  store.SetValue("text", "in section");
  EXPECT_EQ("-1", ProfileText(path, "Default", "number"));
  EXPECT_EQ("in section", ProfileText(path, "Mine", "text"));
  EXPECT_EQ(-7, store.GetValue("number", -7));
  ASSERT_EQ(1, store.SetSection(""));
  EXPECT_EQ(-1, store.GetValue("number", 0));
  EXPECT_STREQ("dflt", store.GetValue("text", "dflt"));
}

TEST_F(OptionsTest, RegistryModeKeepsSectionsBesideEachOtherAndDoesNotReopenOne) {
  COptionStorage store;
  ASSERT_EQ(1, OpenOnScratchKey(store));
  store.SetValue("number", -1);
  EXPECT_EQ(kDwordMinusOne, RegistryValue("", "number"));  // in the root key, no "Default"
  ASSERT_EQ(1, store.SetSection("First"));
  ASSERT_EQ(1, store.SetSection("Second"));
  store.SetValue("number", -1);
  EXPECT_EQ(kDwordMinusOne, RegistryValue("Second", "number"));
  EXPECT_EQ("<missing>", RegistryValue("First\\Second", "number"));
  // The open handle still addresses the deleted key; reopening would create it again.
  ASSERT_EQ(ERROR_SUCCESS, static_cast<LONG>(SHDeleteKeyA(scratch_.get(), "Second")));
  EXPECT_EQ(1, store.SetSection("Second"));
  store.SetValue("v", -1);
  EXPECT_EQ("<missing>", RegistryValue("Second", "v"));
  EXPECT_EQ(1, store.SetSection("second"));  // compared exactly: another section
  store.SetValue("v", -1);
  EXPECT_EQ(kDwordMinusOne, RegistryValue("Second", "v"));
  ASSERT_EQ(1, store.SetSection(""));
  EXPECT_EQ(-1, store.GetValue("number", 0));
  EXPECT_STREQ("", store.GetValue("missing", nullptr));
  for (size_t length : {4095, 4096}) {
    std::string text(length, 't');
    store.SetValue("long", text.c_str());
    EXPECT_EQ(length < 4096 ? text : "dflt", std::string(store.GetValue("long", "dflt"))) << length;
  }
}

TEST_F(OptionsTest, OpeningAnOpenStoreFailsAndClosingForgetsTheSection) {
  for (int registry : {0, 1}) {
    SCOPED_TRACE(registry);
    std::string path = IniPath(registry);
    COptionStorage store;
    ASSERT_EQ(1, registry ? OpenOnScratchKey(store) : store.OpenIniFile(path.c_str()));
    ASSERT_EQ(1, store.SetSection("Kept"));
    EXPECT_EQ(0, store.OpenIniFile(path.c_str()));
    EXPECT_EQ(0, store.Open(nullptr, nullptr, 0));
    EXPECT_EQ(0, store.OpenRegistry("korvex-tests", "other"));
    store.SetValue("v", -1);
    EXPECT_EQ(registry ? kDwordMinusOne : "<missing>", RegistryValue("Kept", "v"));
    EXPECT_EQ(registry ? "<missing>" : "-1", ProfileText(path, "Kept", "v"));
    store.Close();
    ASSERT_EQ(1, store.OpenIniFile(path.c_str()));
    store.SetValue("after", registry);
    EXPECT_EQ(std::to_string(registry), ProfileText(path, "Default", "after"));
  }
}

// Open(subfolder, file, 0): setup.ini or the named file in the folder of
// application data or a subfolder of it, which is not created.
TEST_F(OptionsTest, AppDataFiles) {
  char appData[MAX_PATH];
  ASSERT_GE(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData), 0);
  const std::string leaf = Leaf(), folder = std::string(appData) + "\\" + leaf;
  // On Windows these are the user's own folders: leave nothing behind.
  struct Cleanup {
    std::string appData, leaf;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(appData + "/" + leaf, ignored);
      std::filesystem::remove(appData + "/setup.ini", ignored);
    }
  } cleanup{appData, leaf};
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::tuple<const char*, const char*, std::string, const char*> cases[] = {
      {nullptr, nullptr, std::string(appData) + "\\setup.ini", "here"},
      {leaf.c_str(), nullptr, folder + "\\setup.ini", "here"},
      {leaf.c_str(), "named.ini", folder + "\\named.ini", "here"},
      {"missing-subfolder", "named.ini", std::string(appData) + "\\missing-subfolder\\named.ini", "<missing>"},
  };
  for (const auto& [subfolder, file, where, found] : cases) {
    COptionStorage store;
    ASSERT_EQ(1, store.Open(subfolder, file, 0));
    store.SetValue("where", "here");
    EXPECT_STREQ(found, store.GetValue("where", "<missing>")) << where;
    EXPECT_EQ(found, ProfileText(where, "Default", "where"));
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(appData) + "\\missing-subfolder").c_str()));
}

}  // namespace
