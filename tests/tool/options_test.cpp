// korvex options end to end: both places of the option store, and a set that
// wrote nothing is a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

TEST(ToolOptions, EachStoreKeepsTextAndIntegersAndASetThatWroteNothingFails) {
  const std::vector<std::string> stores[] = {
      {"--registry", "korvex-tests/tool-options"}, {"--ini", "korvex-tests"}, {"--ini-file", ScratchFile("o.ini")}};
  EnsureFolderExist(CString((ScratchFolderOfProgram() + "config/korvex-tests").c_str()));
  for (const std::vector<std::string>& store : stores) {
    SCOPED_TRACE(store[0]);
    auto options = [&](const char* verb, std::vector<std::string> rest) {
      rest.insert(rest.begin(), store.begin(), store.end());
      rest.insert(rest.begin(), {"options", verb, "Session"});
      return RunTool(rest);
    };
    ASSERT_EQ(0, options("set", {"Host", "host.example"}).status);
    ASSERT_EQ(0, options("set", {"Port", "22", "--int"}).status);
    EXPECT_EQ("host.example\n", options("get", {"Host"}).out);
    EXPECT_EQ("22\n", options("get", {"Port", "--int"}).out);
    EXPECT_EQ("22\n", options("get", {"Port"}).out);
    EXPECT_EQ("korvex: no option \"Nope\" in the section Session\n", options("get", {"Nope"}).err);
    EXPECT_EQ(2, options("set", {"Port", "22x", "--int"}).status);
  }
  // A set succeeds when a read gives what the store is defined to give back:
  // a profile file trims the blanks and the quotes; the registry keeps them.
  const std::vector<std::string> kept[] = {{"--ini-file", ScratchFile("q.ini"), "quoted"},
                                           {"--registry", "korvex-tests/tool-options", "  \"quoted\"  "}};
  for (const std::vector<std::string>& store : kept) {
    EXPECT_EQ(0, RunTool({"options", "set", store[0], store[1], "S", "Title", "  \"quoted\"  "}).status) << store[0];
    EXPECT_EQ(store[2] + "\n", RunTool({"options", "get", store[0], store[1], "S", "Title"}).out) << store[0];
  }
  EXPECT_EQ("korvex: the option \"Title\" in the section S is not an integer:   \"quoted\"  \n",
            RunTool({"options", "get", "--registry", "korvex-tests/tool-options", "S", "Title", "--int"}).err);
  // The profile file's subfolder is created as the registry store creates its keys.
  EXPECT_EQ(0, RunTool({"options", "set", "--ini", "korvex-tests-new/sub", "S", "N", "v"}).status);
  EXPECT_EQ("v\n", RunTool({"options", "get", "--ini", "korvex-tests-new/sub", "S", "N"}).out);
  // The registry store keeps the integer as a REG_DWORD below SOFTWARE.
  DWORD port = 0, size = sizeof port;
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-tests\\tool-options\\Session", "Port",
                                        RRF_RT_REG_DWORD, nullptr, &port, &size));
  EXPECT_EQ(22u, port);
  SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-tests\\tool-options");
  // A set that wrote nothing fails with the reason; one store must be named.
  for (bool integer : {false, true}) {
    std::vector<std::string> args{"options", "set", "--ini-file", "/nonexistent/dir/x.ini", "S", "N", "1"};
    if (integer) args.push_back("--int");
    ToolRun run = RunTool(args);
    EXPECT_EQ(1, run.status) << integer;
    EXPECT_EQ(0u, run.err.find("korvex: cannot write N to /nonexistent/dir/x.ini: ")) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
  EXPECT_EQ(2, RunTool({"options", "get", "--registry", "a", "--ini", "b", "S", "N"}).status);
  EXPECT_EQ(2, RunTool({"options", "get", "--ini-name", "x.ini", "S", "N"}).status);
  // No store named is no fallback to a file; a third name has no key to go to.
  for (const char* registry : {"", "A/B/C", "/A", "A\\"})
    EXPECT_EQ(2, RunTool({"options", "set", "--registry", registry, "S", "N", "v"}).status) << registry;
}

}  // namespace
