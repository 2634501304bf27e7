// korvex url, ini and base64 end to end: output forms, statuses and messages; the parsers are the library's.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

TEST(ToolUrl, ParseShowsEveryFieldAndMakeEscapes) {
  ToolRun run = RunTool({"url", "parse", "ssh://al%40ice:pa:ss@host.example:22/srv/logs?tail=100&title=My+Term%21"});
  EXPECT_EQ(
      "scheme    ssh\nuser      al@ice\npassword  pa:ss\nhost      host.example\nport      22\n"
      "path      /srv/logs\nparam     tail=100\nparam     title=My Term!\n",
      run.out);
  EXPECT_EQ(
      "{\"scheme\": \"\", \"user\": \"\", \"password\": \"\", \"host\": \"h\", \"port\": 0, \"path\": \"/p\", "
      "\"params\": {\"a\": \"1\", \"q\": \"\\\"a\\\\b\\\"\\u000a\"}}\n",
      RunTool({"url", "parse", "--json", "h/p?q=%22a%5Cb%22%0A&a=1"}).out);
  EXPECT_EQ("ssh://a+b:p%40ss@h:22/srv%2Flogs?q=x%26y\n",
            RunTool({"url", "make", "--scheme", "ssh", "--user", "a b", "--password", "p@ss", "--host", "h", "--port",
                     "22", "--path", "/srv/logs", "--param", "q=x&y"})
                .out);
  run = RunTool({"url", "parse", "ssh://"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("korvex: not a URL: ssh://\n", run.err);
  EXPECT_EQ(2, RunTool({"url", "make", "--host", "h", "--param", "=v"}).status);
  // A port the record keeps only 16 bits of is shown as kept, and said.
  run = RunTool({"url", "parse", "ssh://h:99999/"});
  EXPECT_EQ(3, run.status);
  EXPECT_NE(std::string::npos, run.out.find("port      34463\n")) << run.out;
  EXPECT_EQ("korvex: the port \"99999\" is not a number from 1 to 65535; the record keeps 34463\n", run.err);
}

TEST(ToolIni, SetGetAndDumpGoThroughTheModel) {
  std::string file = ScratchFile("tool.ini"), fresh = ScratchFile("fresh.ini");
  const std::string text = "; admin's note\r\nstray=line\r\n\r\n[S]\r\nk=old\r\nnot a key\r\n[S]\r\nk=v=w\r\n";
  WriteFileBytes(file, text);
  EXPECT_EQ("v=w\n", RunTool({"ini", "get", file, "S", "k"}).out);
  // An edit keeps every other line and the line ends; one the model would
  // read elsewhere (the repeated key) is put back.
  ASSERT_EQ(0, RunTool({"ini", "set", file, "T", "n", "7"}).status);
  EXPECT_EQ(text + "[T]\r\nn=7\r\n", ReadFileBytes(file));
  EXPECT_EQ(1, RunTool({"ini", "set", file, "S", "k", "x"}).status);
  EXPECT_EQ(text + "[T]\r\nn=7\r\n", ReadFileBytes(file));
  EXPECT_EQ("[S]\nk=v=w\n[T]\nn=7\n", RunTool({"ini", "dump", file}).out);
  EXPECT_EQ(
      "[{\"section\":\"S\",\"keys\":[{\"key\":\"k\",\"value\":\"v=w\"}]},"
      "{\"section\":\"T\",\"keys\":[{\"key\":\"n\",\"value\":\"7\"}]}]\n",
      RunTool({"ini", "dump", file, "--json"}).out);
  ToolRun missing = RunTool({"ini", "get", file, "S", "K"});
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ("korvex: no key \"K\" in [S] of " + file + "\n", missing.err);
  EXPECT_EQ("fallback\n", RunTool({"ini", "get", file, "S", "K", "--default", "fallback"}).out);
  EXPECT_EQ("\n", RunTool({"ini", "get", file, "S", "K", "--default", ""}).out);
  EXPECT_EQ(1, RunTool({"ini", "get", ScratchFile("absent.ini"), "S", "k"}).status);
  ASSERT_EQ(0, RunTool({"ini", "set", fresh, "S", "k", "v"}).status);
  EXPECT_EQ("[S]\nk=v\n", ReadFileBytes(fresh));
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"S", "a=b", "v"}, {"", "k", "v"}, {"S", "k", "a\nb"}})
    EXPECT_EQ(2, RunTool({"ini", "set", file, bad[0], bad[1], bad[2]}).status) << bad[1];
  EXPECT_EQ("[S]\nk=v=w\n[T]\nn=7\n", RunTool({"ini", "dump", file}).out);
}

TEST(ToolBase64, EncodesFilesAndDecodesWithAStatusPerResult) {
  std::string file = ScratchFile("bytes.bin"), bytes("\0\xff\x10hi", 5);
  WriteFileBytes(file, bytes);
  EXPECT_EQ("AP8QaGk=\n", RunTool({"base64", "encode", file}).out);
  EXPECT_EQ("AP8QaGk=\n", RunTool({"base64", "encode"}, bytes).out);
  EXPECT_EQ(1, RunTool({"base64", "encode", ScratchFile("absent.bin")}).status);
  // Each row: the input, the status, what is written out, the message.
  const std::tuple<std::string, int, std::string, const char*> cases[] = {
      {"AP8Q\n aGk=\n", 0, bytes, ""},
      {"", 0, "", ""},
      {"aG=k", 3, "", "korvex: not Base64: malformed or cut short\n"},
      {std::string("aGk=\0", 5), 3, "", "korvex: not Base64: the input holds a zero byte\n"},
      {"aGl=", 4, "", "korvex: not canonical Base64: the last group carries nonzero unused bits\n"},
  };
  for (const auto& [input, status, out, message] : cases) {
    ToolRun run = RunTool({"base64", "decode"}, input);
    EXPECT_EQ(status, run.status) << input;
    EXPECT_EQ(out, run.out) << input;
    EXPECT_EQ(message, run.err) << input;
  }
}

}  // namespace
