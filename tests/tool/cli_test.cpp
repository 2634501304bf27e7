// The tool's command line as a whole: help everywhere, version, and refusals
// as one line on standard error with a non-zero status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tool/run_tool.h"

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(ToolCli, EveryCommandHasHelp) {
  const char* commands[] = {"",
                            "reg",
                            "reg query",
                            "reg get",
                            "reg add",
                            "reg delete",
                            "reg rename",
                            "reg export",
                            "reg import",
                            "options",
                            "options get",
                            "options set",
                            "url",
                            "url parse",
                            "url make",
                            "ini",
                            "ini get",
                            "ini set",
                            "ini dump",
                            "base64",
                            "base64 encode",
                            "base64 decode",
                            "demo",
                            "product",
                            "product register",
                            "product find",
                            "product unregister",
                            "open",
                            "watch",
                            "watch reg",
                            "watch folder"};
  for (const char* command : commands) {
    std::vector<std::string> args = Words(command);
    args.push_back("--help");
    ToolRun run = RunTool(args);
    EXPECT_EQ(0, run.status) << command;
    EXPECT_NE(std::string::npos, run.out.find("Usage: korvex " + std::string(command))) << command << ": " << run.out;
    EXPECT_EQ("", run.err) << command;
  }
}

TEST(ToolCli, RefusalsNameWhatWasWrong) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"bogus", "korvex: unknown command \"bogus\"; the commands are "},
      {"reg frob HKCU\\x", "korvex: unknown command \"reg frob\"; the commands are "},
      {"reg query HKCU\\x --frob", "--frob"},
      {"reg query HKCU/Software/x", "separated by \\, not /"},
  };
  for (const Case& c : cases) {
    ToolRun run = RunTool(Words(c.line));
    EXPECT_EQ(2, run.status) << c.line;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.line << ": " << run.err;
  }
}

TEST(ToolCli, VersionIsTheLibrarys) {
  ToolRun run = RunTool({"--version"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("korvex " KORVEX_PROJECT_VERSION "\n", run.out);
}

TEST(ToolCli, MalformedCommandLinesFailWithOneLine) {
  const char* lines[] = {"",
                         "frobnicate",
                         "reg",
                         "reg query",
                         "reg add HKCU\\x --bogus",
                         "url parse",
                         "url make --port 70000 --host h",
                         "base64 encode a b",
                         "reg add HKCU\\x -t REG_LINK",
                         "reg query HKCU\\x -v a --default",
                         "product register Torvik --path /",
                         "open",
                         "watch reg"};
  for (const char* line : lines) {
    ToolRun run = RunTool(Words(line));
    EXPECT_EQ(2, run.status) << line;
    EXPECT_EQ("", run.out) << line;
    EXPECT_EQ(1, Lines(run.err)) << line << ": " << run.err;
    EXPECT_EQ(0u, run.err.find("korvex: ")) << line << ": " << run.err;
  }
}

}  // namespace
