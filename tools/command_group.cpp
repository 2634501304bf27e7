#include "tools/command_group.h"

#include <CLI/CLI.hpp>

namespace korvex_tool {

CLI::App* AddCommandGroup(CLI::App& app, const char* name, const char* description) {
  CLI::App* group = app.add_subcommand(name, description);
  group->require_subcommand(1);
  return group;
}

CLI::App* AddAction(CLI::App* group, const char* name, const char* description, std::function<void()> action) {
  CLI::App* command = group->add_subcommand(name, description);
  command->callback(std::move(action));
  return command;
}

}  // namespace korvex_tool
