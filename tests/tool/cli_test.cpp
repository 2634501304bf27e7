// The tool as a whole: help everywhere, version, refusals as one line on
// standard error with status 2, and the demo's walk down the main road.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/tool/run_tool.h"

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(ToolCli, EveryCommandHasHelp) {
  std::istringstream commands(
      "|reg|reg query|reg get|reg add|reg delete|reg rename|reg export|reg import|options|options get|options set|url|"
      "url parse|url make|ini|ini get|ini set|ini dump|base64|base64 encode|base64 decode|demo|product|"
      "product register|product find|product unregister|open|watch|watch reg|watch folder");
  for (std::string command; std::getline(commands, command, '|');) {
    ToolRun run = RunTool(Words(command + " --help"));
    EXPECT_EQ(0, run.status) << command;
    EXPECT_NE(std::string::npos, run.out.find("Usage: korvex " + command)) << command << ": " << run.out;
    EXPECT_EQ("", run.err) << command;
  }
  ToolRun version = RunTool({"--version"});
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("korvex " KORVEX_PROJECT_VERSION "\n", version.out);
}

TEST(ToolCli, MalformedCommandLinesFailWithOneLineThatSaysWhy) {
  const char* cases[][2] = {
      {"", "korvex: "},
      {"bogus", "korvex: unknown command \"bogus\"; the commands are reg, "},
      {"reg frob HKCU\\x", "korvex: unknown command \"reg frob\"; the commands are "},
      {"reg query HKCU\\x --frob", "--frob"},
      {"reg query HKCU/Software/x", "separated by \\, not /"},
      {"reg", "korvex: "},
      {"url make --port 70000 --host h", "korvex: "},
      {"base64 encode a b", "korvex: "},
      {"reg add HKCU\\x -t REG_LINK", "korvex: "},
      {"reg query HKCU\\x -v a --default", "korvex: "},
      {"open", "korvex: "},
  };
  for (const auto& c : cases) {
    ToolRun run = RunTool(Words(c[0]));
    EXPECT_EQ(2, run.status) << c[0];
    EXPECT_EQ("", run.out) << c[0];
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << c[0] << ": " << run.err;
    EXPECT_EQ(0u, run.err.find("korvex: ")) << c[0] << ": " << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c[1])) << c[0] << ": " << run.err;
  }
}

// The walkthrough shows what the product received and what the stores gave
// back, and leaves the user's registry alone.
TEST(ToolDemo, WalksTheMainRoadInItsOwnFolder) {
  std::string folder = ScratchFile("demo"), product = "HKEY_LOCAL_MACHINE\\Software\\Quorvanta\\Torvik\\2.0";
  const std::string shown[] = {
      "in the product's key " + product + "\n",
      "     program:  " + folder +
          "/products/Torvik\n     argument: -url\n"
          "     argument: ssh://user@host:22/srv%2Flogs?tail=100\n",
      "     [" + product + "]\n     \"Path\"=\"" + folder + "/products\"\n     \"Version\"=\"2.0\"\n"};
  for (int run = 0; run < 2; ++run) {  // a second run starts over from the first's leftovers
    ToolRun demo = RunTool({"demo", folder});
    ASSERT_EQ(0, demo.status) << demo.err;
    EXPECT_EQ("", demo.err);
    for (const std::string& text : shown) EXPECT_NE(std::string::npos, demo.out.find(text)) << text << demo.out;
    // Both stores, the profile file and the registry.
    const std::string readBack = "read back Columns=132, Title=\"logs on host\"\n";
    size_t first = demo.out.find(readBack), last = demo.out.rfind(readBack);
    EXPECT_TRUE(first != std::string::npos && first != last) << demo.out;
  }
  HKEY key = nullptr;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvanta", 0, KEY_READ, &key));
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-demo", 0, KEY_READ, &key));
}

}  // namespace
