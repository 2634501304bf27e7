// korvex: the library's command-line face.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/tool_error.h"

namespace {

// The word that stands where a command belongs, with the commands before it
// ("reg frob"); empty when every word that names a command is one.
std::string UnknownCommand(CLI::App& app, int argc, char** argv, std::string* known) {
  CLI::App* current = &app;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    // The hidden commands (no group) are not offered.
    std::vector<CLI::App*> commands = current->get_subcommands([](CLI::App* sub) { return !sub->get_group().empty(); });
    if (commands.empty()) return "";
    path += (path.empty() ? "" : " ") + std::string(argv[i]);
    CLI::App* next = nullptr;
    for (CLI::App* command : commands)
      if (command->check_name(argv[i])) next = command;
    if (!next) {
      for (CLI::App* command : commands) *known += (known->empty() ? "" : ", ") + command->get_name();
      return path;
    }
    current = next;
  }
  return "";
}

// Output that could not be written is a failure of the command, whatever it
// did otherwise: a script reading a full disk's file must not take it as done.
int CheckedExit(int status) {
  if (fflush(stdout) == 0 && !ferror(stdout)) return status;
  fprintf(stderr, "korvex: cannot write the output: %s\n", strerror(errno));
  return status == korvex_tool::kExitOk ? korvex_tool::kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Work with what the products keep: registry keys, .reg files, products and their links, options, URLs, INI "
      "files, Base64",
      "korvex");
  app.set_version_flag("--version", "korvex " KORVEX_TOOL_VERSION);
  app.require_subcommand(1);
  korvex_tool::AddRegCommand(app);
  korvex_tool::AddProductCommand(app);
  korvex_tool::AddOpenCommand(app);
  korvex_tool::AddUrlCommand(app);
  korvex_tool::AddIniCommand(app);
  korvex_tool::AddBase64Command(app);
  korvex_tool::AddOptionsCommand(app);
  korvex_tool::AddWatchCommand(app);
  korvex_tool::AddDemoCommand(app);
  korvex_tool::AddGenerateCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version go to standard output with status 0; everything else
    // is one line on standard error.
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return CheckedExit(app.exit(error));
    std::string known, unknown = UnknownCommand(app, argc, argv, &known);
    if (!unknown.empty())
      fprintf(stderr, "korvex: unknown command \"%s\"; the commands are %s (see --help)\n", unknown.c_str(),
              known.c_str());
    else
      fprintf(stderr, "korvex: %s (see --help)\n", error.what());
    return korvex_tool::kExitUsage;
  } catch (const korvex_tool::ToolError& error) {
    fprintf(stderr, "korvex: %s\n", error.what());
    return CheckedExit(error.status());
  }
  return CheckedExit(korvex_tool::kExitOk);
}
