// korvex: the library's command-line face.
#include <stdio.h>

#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/tool_error.h"

int main(int argc, char** argv) {
  CLI::App app("Work with what the products keep: registry keys, .reg files, products and their links, options, URLs, INI files, Base64", "korvex");
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version go to standard output with status 0; everything else
    // is one line on standard error.
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
    fprintf(stderr, "korvex: %s (see --help)\n", error.what());
    return korvex_tool::kExitUsage;
  } catch (const korvex_tool::ToolError& error) {
    fprintf(stderr, "korvex: %s\n", error.what());
    return error.status();
  }
  return korvex_tool::kExitOk;
}
