// The tool as a whole: help everywhere, version, refusals as one line on
// standard error with status 2, the demo's walk down the main road; and
// product and open: the registry entries, the desktop entry and its defaults,
// and links that must not start anything (the lookup's rules are tests/url's).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/recorder.h"
#include "tests/support/scratch_registry.h"
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
      {"url make --port 70000 --host h", "korvex: "},
      {"reg add HKCU\\x -t REG_LINK", "korvex: "},
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

// Output that cannot be written fails every command, help too.
TEST(ToolCli, OutputThatCannotBeWrittenFails) {
  std::string ini = ScratchFile("full.ini");
  WriteFileBytes(ini, "[S]\nk=v\n");
  for (const std::string& command :
       std::vector<std::string>{"url parse x://h", "url make --host h", "ini get " + ini + " S k", "ini dump " + ini,
                                "base64 encode " + ini, "reg query HKCU --json", "reg --help"}) {
    int status = system((KORVEX_TOOL_PATH " " + command + " >/dev/full 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << command;
  }
}

// The walkthrough says what it does, shows what the product received and what
// the stores gave back, and leaves the user's registry alone.
TEST(ToolDemo, WalksTheMainRoadInItsOwnFolder) {
  std::string folder = ScratchFile("demo"), expected = ReadFileBytes(KORVEX_TEST_DATA_DIR "/demo-transcript.txt");
  for (size_t at; (at = expected.find("@FOLDER@")) != std::string::npos;) expected.replace(at, 8, folder);
  for (int run = 0; run < 2; ++run) {  // a second run starts over from the first's leftovers
    ToolRun demo = RunTool({"demo", folder});
    ASSERT_EQ(0, demo.status) << demo.err;
    EXPECT_EQ("", demo.err);
    EXPECT_EQ(expected, demo.out);
  }
  EXPECT_EQ("<missing>", TreeAt(HKEY_LOCAL_MACHINE, "Software\\Quorvanta"));
  EXPECT_EQ("<missing>", TreeAt(HKEY_CURRENT_USER, "SOFTWARE\\korvex-demo"));
}

const char kVendor[] = "Software\\Quorvanta";

class ToolProduct : public testing::Test {
protected:
  void SetUp() override {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kVendor);
    static int counter = 0;
    folder_ = ScratchFile("products-" + std::to_string(counter++));
    data_ = folder_ + "/data";
    ASSERT_EQ(0, mkdir(folder_.c_str(), 0755));
    // Every product of the table is the recording program.
    for (const char* product : {"Torvik", "Skiv", "Quellbar"})
      ASSERT_EQ(0, symlink(RECORD_ARGS_PATH, (folder_ + "/" + product).c_str()));
    // The desktop files of this test alone; the tool inherits them.
    setenv("XDG_DATA_HOME", data_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
  }
  void TearDown() override { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kVendor); }

  ToolRun Register(const std::string& name, const std::string& version, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"product", "register", name, "--version", version, "--path", folder_};
    args.insert(args.end(), more.begin(), more.end());
    return RunTool(args);
  }
  std::string EntryPath(const std::string& id) const { return data_ + "/applications/korvex-" + id + ".desktop"; }
  // The entry's Exec line without its %u, as the desktop reads the key's own escapes.
  std::string EntryCommand(const std::string& id) const {
    std::string entry = ReadFileBytes(EntryPath(id)), command;
    for (size_t i = entry.find("Exec=") + 5; entry.compare(i, 4, " %u\n") != 0; ++i)
      command += entry[i] == '\\' ? entry[++i] : entry[i];
    return command;
  }

  std::string folder_, data_;
};

TEST_F(ToolProduct, RegisterWritesWhatTheLookupReadsAndFindSaysWhere) {
  ASSERT_EQ(0, Register("Torvik", "2.10").status);
  std::string key = std::string(kVendor) + "\\Torvik\\2.10";
  EXPECT_EQ("Path=" + folder_ + ";Version=2.10;", TreeAt(HKEY_LOCAL_MACHINE, key));
  EXPECT_EQ("Torvik\n  path    " + folder_ + "/Torvik\n  found   in the product's key HKEY_LOCAL_MACHINE\\" + key +
                "\n  result  2 (the leading number of the version)\n",
            RunTool({"product", "find", "Torvik"}).out);
  ASSERT_EQ(0, Register("Vantoria", "4").status);  // the suite's own key
  EXPECT_EQ("{\"product\":\"Skiv\",\"path\":\"" + folder_ +
                "/Skiv\",\"found\":\"in the suite's key HKEY_LOCAL_MACHINE\\\\Software\\\\Quorvanta\\\\Vantoria\\\\4\","
                "\"result\":4}\n",
            RunTool({"product", "find", "Skiv", "--json"}).out);
  ToolRun run = RunTool({"product", "find", "Missing"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out);
  run = RunTool({"product", "find", "Missing", "--json"});
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("{\"product\":\"Missing\",\"path\":null,\"found\":null,\"result\":0}\n", run.out);
  // A version the lookup passes over is registered, and said so.
  run = Register("Torvik", "10");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("korvex: note: the library still finds Torvik in the product's key HKEY_LOCAL_MACHINE\\" + key + ", at " +
                folder_ + "/Torvik\n",
            run.err);
}

TEST_F(ToolProduct, RefusesWhatTheLookupCouldNotUseAndWritesNothing) {
  const std::vector<std::string> cases[] = {
      {"Torvik", "1.0"},            // below the gate
      {"Other", "0.5"},             // a leading number of 0 is "not found"
      {"Other", "10.0.1234"},       // 8 characters end the lookup's enumeration
      {"a\\b", "2"},                // not one file name
      {"Other", "2", "--desktop"},  // serves no scheme
  };
  for (const std::vector<std::string>& c : cases) {
    ToolRun run = Register(c[0], c[1], {c.begin() + 2, c.end()});
    EXPECT_EQ(2, run.status) << c[0] << " " << c[1];
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
  folder_ += "/missing";
  EXPECT_EQ(1, Register("Torvik", "2").status);
  EXPECT_EQ("<missing>", TreeAt(HKEY_LOCAL_MACHINE, kVendor));
  EXPECT_NE(0, access(data_.c_str(), F_OK));
}

TEST_F(ToolProduct, DesktopEntryListsTheProductsSchemesAndGoesWithUnregister) {
  const std::string cases[][3] = {
      {"Torvik", "torvik", "MimeType=x-scheme-handler/ssh;x-scheme-handler/telnet;x-scheme-handler/rlogin;\n"},
      {"Skiv", "skiv", "MimeType=x-scheme-handler/ftp;x-scheme-handler/sftp;\n"},
      {"Quellbar", "quellbar", "MimeType=x-scheme-handler/xdm;x-scheme-handler/xdmcp;\n"},
  };
  bool validator = system("command -v desktop-file-validate >/dev/null") == 0;
  for (const auto& c : cases) {
    ASSERT_EQ(0, Register(c[0], "2.0", {"--desktop"}).status);
    std::string entry = ReadFileBytes(EntryPath(c[1]));
    EXPECT_NE(std::string::npos, entry.find(c[2])) << entry;
    EXPECT_NE(std::string::npos, entry.find(" " KORVEX_TOOL_PATH " open --notify %u\n")) << entry;
    EXPECT_TRUE(!validator || system(("desktop-file-validate '" + EntryPath(c[1]) + "'").c_str()) == 0) << entry;
    EXPECT_EQ(0, RunTool({"product", "unregister", c[0]}).status);
    EXPECT_NE(0, access(EntryPath(c[1]).c_str(), F_OK));
    EXPECT_EQ("<missing>", TreeAt(HKEY_LOCAL_MACHINE, std::string(kVendor) + "\\" + c[0]));
  }
  EXPECT_EQ(1, RunTool({"product", "unregister", "Torvik"}).status);
  if (!validator) GTEST_SKIP() << "desktop-file-validate is not installed; the entries were not validated";
}

TEST_F(ToolProduct, DefaultHandlerTakesTheSchemesAndGivesThemBack) {
  std::string list = folder_ + "/config/mimeapps.list";
  mkdir((folder_ + "/config").c_str(), 0755);
  std::string others = "[Added Associations]\nx-scheme-handler/ssh=other.desktop;\n\n[Default Applications]\n";
  WriteFileBytes(list, others + "x-scheme-handler/ssh=other.desktop;\ntext/plain=editor.desktop;\n");
  ASSERT_EQ(0, Register("Torvik", "2.0", {"--desktop", "--default"}).status);
  // The product first, the user's handler kept after it; unregistering gives
  // back the user's line.
  EXPECT_EQ(others +
                "x-scheme-handler/telnet=korvex-torvik.desktop;\nx-scheme-handler/rlogin=korvex-torvik.desktop;\n"
                "x-scheme-handler/ssh=korvex-torvik.desktop;other.desktop;\ntext/plain=editor.desktop;\n",
            ReadFileBytes(list));
  ASSERT_EQ(0, RunTool({"product", "unregister", "Torvik"}).status);
  EXPECT_EQ(others + "x-scheme-handler/ssh=other.desktop;\ntext/plain=editor.desktop;\n", ReadFileBytes(list));
  EXPECT_EQ(2, Register("Torvik", "2.0", {"--default"}).status);
}

// What removing the tools package runs: every entry and default of the tool
// goes, another program's default and the products' keys stay.
TEST_F(ToolProduct, EveryDesktopEntryGoesAndTheKeysStay) {
  std::string list = folder_ + "/config/mimeapps.list";
  ASSERT_EQ(0, Register("Torvik", "2.0", {"--desktop", "--default"}).status);
  ASSERT_EQ(0, Register("Quellbar", "3", {"--desktop", "--default"}).status);
  std::string before = ReadFileBytes(list);
  WriteFileBytes(list, before + "text/plain=editor.desktop;\n");
  EXPECT_EQ(0, RunTool({"product", "unregister", "--every-desktop-entry"}).status);
  EXPECT_EQ("[Default Applications]\ntext/plain=editor.desktop;\n", ReadFileBytes(list));
  EXPECT_NE(0, access(EntryPath("torvik").c_str(), F_OK));
  EXPECT_NE(0, access(EntryPath("quellbar").c_str(), F_OK));
  EXPECT_EQ(0, RunTool({"product", "find", "Quellbar"}).status);
  ToolRun again = RunTool({"product", "unregister", "--every-desktop-entry"});
  EXPECT_EQ(0, again.status);
  EXPECT_EQ("", again.out);
  EXPECT_EQ(2, RunTool({"product", "unregister", "Torvik", "--every-desktop-entry"}).status);
  EXPECT_EQ(2, RunTool({"product", "unregister"}).status);
}

// A refused link starts nothing and says why in one line. The Exec line of
// the entry is what a browser runs for a clicked link: run it.
TEST_F(ToolProduct, ARefusedLinkStartsNothingAndTheEntrysCommandOpensTheProduct) {
  ASSERT_EQ(0, Register("Torvik", "2.0", {"--desktop"}).status);
  std::vector<Recording> refused;
  for (const char* url : {"ssh://-oProxyCommand=x@host", "ssh://host?a=b%20c", "xdmcp://a%09b", "http://host",
                          "host-without-scheme", "ssh://user@host:99999/", "ssh://host:-1", "ssh://host:abc"}) {
    refused.emplace_back();
    ToolRun run = RunTool({"open", url});
    EXPECT_EQ(1, run.status) << url;
    EXPECT_EQ("", run.out) << url;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << url << ": " << run.err;
  }
  std::string command = EntryCommand("torvik");
  Recording clicked;
  ASSERT_EQ(0, system((command + " 'ssh://user@host:22/srv/logs?tail=100'").c_str())) << command;
  EXPECT_EQ((std::vector<std::string>{"-url", "ssh://user@host:22/srv%2Flogs?tail=100"}), clicked.Wait());
  // That start has been seen, so a refused link had its chance to start too.
  for (const Recording& none : refused) EXPECT_FALSE(none.Exists());
}

// The entry names the tool wherever it lies, even in a folder whose name the
// desktop and the shell would otherwise read as syntax.
TEST_F(ToolProduct, TheEntryQuotesTheToolsOwnPath) {
  const std::string folder = folder_ + "/a \"$b\" `c` \\d", tool = folder + "/korvex";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  ASSERT_TRUE(std::filesystem::copy_file(KORVEX_TOOL_PATH, tool));
  ASSERT_EQ(
      0, system(("'" + tool + "' product register Torvik --version 2.0 --path '" + folder_ + "' --desktop").c_str()));
  std::string command = EntryCommand("torvik");
  Recording clicked;
  ASSERT_EQ(0, system((command + " ssh://host/").c_str())) << command;
  EXPECT_EQ((std::vector<std::string>{"-url", "ssh://host/"}), clicked.Wait());
}

}  // namespace
