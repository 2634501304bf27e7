// The tool's hidden commands for its own packaging and the shells: the
// completion files and the man page's EXIT STATUS from the command
// definitions, and the subkeys a key path completes to.
#include <stdio.h>
#include <strings.h>

#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/completion/command_tree.h"
#include "tools/exit_status.h"
#include "tools/reg/reg_store.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

bool BeginsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// The keys `prefix` can grow into, one level down, each ending in a backslash.
std::vector<std::string> KeyCompletions(const std::string& prefix) {
  std::vector<std::string> found;
  size_t slash = prefix.rfind('\\');
  if (slash == std::string::npos) {
    for (const std::string& root : RootNames())
      if (BeginsWith(root, prefix)) found.push_back(root + "\\");
    return found;
  }
  KeyPath path;
  std::string why;
  if (!ParseKeyPath(prefix.substr(0, slash), &path, &why) || !KeyExists(path)) return found;
  OpenKey key;
  OpenExisting(path, KEY_READ, &key);
  for (const std::string& name : SubkeyNames(key.get(), path))
    if (BeginsWith(name, prefix.substr(slash + 1))) found.push_back(prefix.substr(0, slash + 1) + name + "\\");
  return found;
}

void Generate(CLI::App& app, const std::string& what) {
  if (what == "exit-status") {
    fputs(ExitStatusManSection().c_str(), stdout);
    return;
  }
  std::vector<CompletedCommand> commands = WalkCommands(app);
  if (what == "commands") {
    for (const CompletedCommand& command : commands)
      if (command.subcommands.empty()) printf("%s\n", command.words.c_str());
  } else if (what == "bash") {
    fputs(BashCompletion(commands).c_str(), stdout);
  } else if (what == "zsh") {
    fputs(ZshCompletion(commands).c_str(), stdout);
  } else {
    fputs(FishCompletion(commands).c_str(), stdout);
  }
}

}  // namespace

void AddGenerateCommands(CLI::App& app) {
  static std::string what, prefix;
  CLI::App* generate = app.add_subcommand("_generate", "")->group("");
  generate->add_option("WHAT", what)
      ->required()
      ->check(CLI::IsMember({"bash", "zsh", "fish", "exit-status", "commands"}));
  generate->callback([&app] { Generate(app, what); });

  CLI::App* keys = app.add_subcommand("_keys", "")->group("");
  keys->add_option("PREFIX", prefix);
  keys->callback([] {
    for (const std::string& key : KeyCompletions(prefix)) printf("%s\n", key.c_str());
  });
}

}  // namespace korvex_tool
