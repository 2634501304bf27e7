// The shells' completion files, written from the command definitions: every
// command's subcommands and options as its --help lists them, in bash, zsh
// and fish alike, run in the shells themselves; key paths from the registry.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

using Words = std::set<std::string>;

struct Listing {
  Words subcommands, options;
};

// What a --help text lists under its "Subcommands:" and "Options:" headings.
Listing ReadHelp(const std::string& help) {
  Listing listing;
  std::istringstream in(help);
  std::string heading;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != ' ') heading = line;
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    std::string first = line.substr(2, line.find(' ', 2) - 2);
    if (heading == "Subcommands:") listing.subcommands.insert(first);
    std::istringstream names(first);
    if (heading == "Options:")
      for (std::string name; std::getline(names, name, ',');) listing.options.insert(name);
  }
  return listing;
}

// Every command's listing, by its words, walked down from the top's --help.
void WalkHelp(const std::string& command, std::map<std::string, Listing>* all) {
  std::istringstream words(command + " --help");
  std::vector<std::string> args{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
  ToolRun run = RunTool(args);
  ASSERT_EQ(0, run.status) << command;
  Listing& listing = (*all)[command] = ReadHelp(run.out);
  for (const std::string& sub : listing.subcommands) WalkHelp(command.empty() ? sub : command + " " + sub, all);
}

// Runs a shell script; its output lines after each "== NAME" line, by name.
std::map<std::string, Words> RunShell(const std::string& shell, const std::string& script) {
  std::string file = ScratchFile("completion-" + shell);
  std::string tools = std::string(KORVEX_TOOL_PATH).substr(0, std::string(KORVEX_TOOL_PATH).rfind('/'));
  bool fish = shell == "fish";
  WriteFileBytes(file, (fish ? "set PATH " + tools + " $PATH\n" : "PATH=" + tools + ":$PATH\n") + script);
  std::string options = fish ? " --no-config " : shell == "zsh" ? " -f " : " ";
  FILE* out = popen((shell + options + file + " 2>&1").c_str(), "r");
  std::map<std::string, Words> found;
  std::string name;
  char line[4096];
  while (out && fgets(line, sizeof line, out)) {
    std::string text(line, strcspn(line, "\t\n"));
    if (text.compare(0, 3, "== ") == 0)
      name = text.substr(3);
    else if (!text.empty())
      found[name].insert(text);
  }
  EXPECT_EQ(0, out ? pclose(out) : -1) << shell;
  return found;
}

std::string Quoted(const std::string& words) { return "'" + words + "'"; }

class ToolCompletion : public testing::Test {
protected:
  void SetUp() override { WalkHelp("", &help_); }

  // The script asks the shell for each command's subcommands ("NAME subs")
  // and options ("NAME opts"); `ask` writes one question.
  template <typename Ask>
  std::string Questions(Ask ask) {
    std::string script;
    for (const auto& [command, listing] : help_) {
      std::string words = command.empty() ? "korvex" : "korvex " + command;
      script += "echo " + Quoted("== " + command + " opts") + "\n" + ask(words, "-");
      if (!listing.subcommands.empty()) script += "echo " + Quoted("== " + command + " subs") + "\n" + ask(words, "");
    }
    return script;
  }

  void ExpectAgreement(const std::map<std::string, Words>& offered, const char* shell) {
    for (const auto& [command, listing] : help_) {
      auto at = [&](const std::string& what) { return offered.count(what) ? offered.at(what) : Words(); };
      EXPECT_EQ(listing.options, at(command + " opts")) << shell << ": korvex " << command;
      if (!listing.subcommands.empty()) {
        EXPECT_EQ(listing.subcommands, at(command + " subs")) << shell << ": korvex " << command;
      }
    }
  }

  std::map<std::string, Listing> help_;
};

// bash with the completion loaded and `comp WORDS... CUR` printing its answers.
const std::string kBash = "source " KORVEX_COMPLETION_DIR
                          "/bash/korvex\n"
                          "comp() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); COMPREPLY=(); _korvex\n"
                          "  printf '%s\\n' \"${COMPREPLY[@]}\"; }\n";

TEST_F(ToolCompletion, EveryShellOffersWhatHelpLists) {
  ASSERT_GT(help_.size(), 20u);
  std::string dir = KORVEX_COMPLETION_DIR;
  // The values an option lists, each of them.
  EXPECT_EQ((Words{"REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_DWORD", "REG_QWORD", "REG_BINARY", "REG_NONE"}),
            RunShell("bash", kBash + "echo '== types'; comp korvex reg add -t ''\n")["types"]);
  ExpectAgreement(RunShell("bash", kBash + Questions([](const std::string& words, const std::string& cur) {
                                     return "comp " + words + " " + Quoted(cur) + "\n";
                                   })),
                  "bash");
  ExpectAgreement(RunShell("fish", "source " + dir + "/fish/korvex.fish\n" +
                                       Questions([](const std::string& words, const std::string& cur) {
                                         return "complete -C " + Quoted(words + " " + cur) + "\n";
                                       })),
                  "fish");
  // zsh's completion system needs a terminal; its _arguments is stood in for
  // by one that prints the option and command names of each spec.
  ExpectAgreement(
      RunShell("zsh",
               "_arguments() { local spec seen=0; for spec; do\n"
               "  (( seen )) || { [[ $spec == : ]] && seen=1; continue }\n"
               "  spec=${spec#\\(*\\)}\n"
               "  [[ $spec == -* ]] && print -r -- ${spec%%[+=\\[]*}\n"
               "  [[ $spec == 1:command:* ]] && print -rl -- ${=${${spec#*\\(}%\\)}}; done }\n"
               "source " +
                   dir + "/zsh/_korvex >/dev/null\n" + Questions([](const std::string& words, const std::string& cur) {
                     // Options and subcommands come from the same specs.
                     return cur.empty() ? "words=(" + words + " ''); CURRENT=${#words}; _korvex | grep -v '^-'\n"
                                        : "words=(" + words + " '-'); CURRENT=${#words}; _korvex | grep '^-'\n";
                   })),
      "zsh");
}

// A key path completes one level down from the keys that exist, in any case.
TEST_F(ToolCompletion, KeyPathsCompleteFromTheRegistry) {
  HKEY key = NULL;
  for (const char* name : {"Software\\KorvexCompletion\\Alpha Beta", "Software\\KorvexCompletion\\Apex",
                           "Software\\KorvexCompletion\\Other"}) {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
  }
  Words expected{"HKCU\\Software\\KorvexCompletion\\Alpha Beta\\", "HKCU\\Software\\KorvexCompletion\\Apex\\"};
  std::string prefix = "HKCU\\Software\\KorvexCompletion\\A", lower = "HKCU\\Software\\KorvexCompletion\\a";
  std::string dir = KORVEX_COMPLETION_DIR;
  EXPECT_EQ(expected, RunShell("bash", "source " + dir +
                                           "/bash/korvex\necho '== keys'\n"
                                           "COMP_WORDS=(korvex reg query \"'" +
                                           prefix +
                                           "\"); COMP_CWORD=3; _korvex\n"
                                           "printf '%s\\n' \"${COMPREPLY[@]}\"\n")["keys"]);
  EXPECT_EQ(expected, RunShell("fish", "source " + dir +
                                           "/fish/korvex.fish\necho '== keys'\n"
                                           "complete -C \"korvex watch reg '" +
                                           prefix + "\"\n")["keys"]);
  EXPECT_EQ((Words{"HKCU\\", "HKEY_CURRENT_USER\\", "HKLM\\", "HKEY_LOCAL_MACHINE\\"}),
            RunShell("bash", "echo '== roots'\nkorvex _keys hk\n")["roots"]);
}

}  // namespace
