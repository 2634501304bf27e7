#include "tools/completion/command_tree.h"

#include <CLI/CLI.hpp>
#include <set>

namespace korvex_tool {
namespace {

std::set<const CLI::Option*>& RegistryKeyOptions() {
  static std::set<const CLI::Option*> options;
  return options;
}

// "TEXT:{REG_SZ,REG_DWORD}", as --help shows a listed set, to its members.
std::vector<std::string> Choices(const CLI::Option* option) {
  std::string type = option->get_type_name();
  size_t open = type.find(":{"), close = type.rfind('}');
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos || close < open) return choices;
  std::string list = type.substr(open + 2, close - open - 2);
  for (size_t start = 0; start <= list.size();) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    choices.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return choices;
}

CompletedOption Describe(const CLI::Option* option) {
  CompletedOption out;
  out.shortNames = option->get_snames();
  out.longNames = option->get_lnames();
  out.description = option->get_description();
  out.takesValue = option->get_items_expected_max() != 0;
  out.kind = RegistryKeyOptions().count(option) ? WordKind::kRegistryKey : WordKind::kPath;
  out.choices = Choices(option);
  return out;
}

bool Visible(const std::string& group) { return !group.empty(); }

void Walk(const CLI::App& command, const std::string& words, std::vector<CompletedCommand>* out) {
  CompletedCommand described;
  described.words = words;
  described.name = command.get_name();
  described.description = command.get_description();
  std::vector<const CLI::App*> visible =
      command.get_subcommands([](const CLI::App* sub) { return Visible(sub->get_group()); });
  for (const CLI::App* sub : visible) described.subcommands.push_back(sub->get_name());
  for (const CLI::Option* option : command.get_options()) {
    if (!Visible(option->get_group())) continue;
    if (option->get_positional())
      described.positionals.push_back(Describe(option).kind);
    else
      described.options.push_back(Describe(option));
  }
  out->push_back(described);
  for (const CLI::App* sub : visible) Walk(*sub, words.empty() ? sub->get_name() : words + " " + sub->get_name(), out);
}

}  // namespace

CLI::Option* CompletesRegistryKey(CLI::Option* option) {
  RegistryKeyOptions().insert(option);
  return option;
}

std::string JoinWords(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

std::vector<CompletedCommand> WalkCommands(const CLI::App& app) {
  std::vector<CompletedCommand> commands;
  Walk(app, "", &commands);
  return commands;
}

}  // namespace korvex_tool
