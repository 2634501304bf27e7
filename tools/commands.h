#ifndef KORVEX_TOOLS_COMMANDS_H
#define KORVEX_TOOLS_COMMANDS_H

namespace CLI {
class App;
}

namespace korvex_tool {

// Each adds one command, with its subcommands, to the tool. A command's
// action runs from its callback and reports failure by throwing ToolError.
void AddRegCommand(CLI::App& app);
void AddUrlCommand(CLI::App& app);
void AddIniCommand(CLI::App& app);
void AddBase64Command(CLI::App& app);
void AddOptionsCommand(CLI::App& app);
void AddDemoCommand(CLI::App& app);
void AddProductCommand(CLI::App& app);
void AddOpenCommand(CLI::App& app);
void AddWatchCommand(CLI::App& app);
// Hidden: the completion files and the man page's exit statuses, written at
// build time, and the key paths the completion offers.
void AddGenerateCommands(CLI::App& app);

}  // namespace korvex_tool

#endif
