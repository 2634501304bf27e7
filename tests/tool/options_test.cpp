// korvex options end to end: both places of the option store.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

std::vector<std::string> With(std::vector<std::string> store, std::vector<std::string> rest) {
  store.insert(store.end(), rest.begin(), rest.end());
  return store;
}

TEST(ToolOptions, EachStoreKeepsTextAndIntegers) {
  std::vector<std::vector<std::string>> stores = {
      {"--registry", "korvex-tests/tool-options"},
      {"--ini", "korvex-tests"},
      {"--ini-file", ScratchFile("options.ini")},
  };
  EnsureFolderExist(CString((ScratchFolderOfProgram() + "config/korvex-tests").c_str()));
  for (const auto& store : stores) {
    ASSERT_EQ(0, RunTool(With({"options", "set"}, With(store, {"Session", "Host", "host.example"}))).status)
        << store[0];
    ASSERT_EQ(0, RunTool(With({"options", "set"}, With(store, {"Session", "Port", "22", "--int"}))).status) << store[0];
    EXPECT_EQ("host.example\n", RunTool(With({"options", "get"}, With(store, {"Session", "Host"}))).out) << store[0];
    EXPECT_EQ("22\n", RunTool(With({"options", "get"}, With(store, {"Session", "Port", "--int"}))).out) << store[0];
    EXPECT_EQ("22\n", RunTool(With({"options", "get"}, With(store, {"Session", "Port"}))).out) << store[0];
    ToolRun missing = RunTool(With({"options", "get"}, With(store, {"Session", "Nope"})));
    EXPECT_EQ(1, missing.status) << store[0];
    EXPECT_EQ("korvex: no option \"Nope\" in the section Session\n", missing.err) << store[0];
    EXPECT_EQ(2, RunTool(With({"options", "set"}, With(store, {"Session", "Port", "22x", "--int"}))).status);
  }
  // The registry store keeps the integer as a REG_DWORD below SOFTWARE.
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-tests\\tool-options\\Session", 0, KEY_READ, &key));
  DWORD type = 0, port = 0, size = sizeof port;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Port", nullptr, &type, reinterpret_cast<BYTE*>(&port), &size));
  RegCloseKey(key);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(22u, port);
  SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-tests\\tool-options");
}

TEST(ToolOptions, SetFailsWhenNothingWasWritten) {
  for (const char* kind : {"", "--int"}) {
    std::vector<std::string> args{"options", "set", "--ini-file", "/nonexistent/dir/x.ini", "S", "N", "1"};
    if (*kind) args.push_back(kind);
    ToolRun run = RunTool(args);
    EXPECT_EQ(1, run.status) << kind;
    EXPECT_EQ(0u, run.err.find("korvex: cannot write N to /nonexistent/dir/x.ini: ")) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

TEST(ToolOptions, OneStoreMustBeNamed) {
  EXPECT_EQ(2, RunTool({"options", "get", "--registry", "a", "--ini", "b", "S", "N"}).status);
  EXPECT_EQ(2, RunTool({"options", "get", "--ini-name", "x.ini", "S", "N"}).status);
}

}  // namespace
