#ifndef KORVEX_TOOLS_COMMAND_GROUP_H
#define KORVEX_TOOLS_COMMAND_GROUP_H

// The shape every command of the tool shares: a group ("reg", "url", ...) that
// does nothing by itself and requires one of its subcommands, each of which
// runs one action.
#include <functional>

namespace CLI {
class App;
}

namespace korvex_tool {

CLI::App* AddCommandGroup(CLI::App& app, const char* name, const char* description);
// A subcommand of `group` that runs `action` once its arguments are parsed.
CLI::App* AddAction(CLI::App* group, const char* name, const char* description, std::function<void()> action);

}  // namespace korvex_tool

#endif
