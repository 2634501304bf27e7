// korvex demo end to end: the walkthrough shows what the product received and
// what the stores gave back, and leaves the user's registry alone.
#include <gtest/gtest.h>

#include <string>

#include "korvex/platform.h"
#include "tests/tool/run_tool.h"

namespace {

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
