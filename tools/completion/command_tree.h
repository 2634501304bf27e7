#ifndef KORVEX_TOOLS_COMPLETION_COMMAND_TREE_H
#define KORVEX_TOOLS_COMPLETION_COMMAND_TREE_H

// The tool's commands as a shell's completion sees them, walked from the
// CLI11 definitions, so the shells' files and --help come from one place.
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace korvex_tool {

// What an argument completes to: a file or folder unless marked, or the
// choices when the definition lists them.
enum class WordKind {
  kPath,
  kRegistryKey,  // from the registry: korvex _keys PREFIX
};

struct CompletedOption {
  std::vector<std::string> shortNames, longNames;  // "v", "value": without dashes
  std::string description;
  bool takesValue = false;
  WordKind kind = WordKind::kPath;
  std::vector<std::string> choices;  // the values it accepts, when listed
};

struct CompletedCommand {
  std::string words;  // "reg query"; empty for the tool itself
  std::string name, description;
  std::vector<std::string> subcommands;
  std::vector<CompletedOption> options;
  std::vector<WordKind> positionals;
};

// Marks an argument as a registry key path; returns it.
CLI::Option* CompletesRegistryKey(CLI::Option* option);

// Every visible command, the tool first, each before its subcommands.
std::vector<CompletedCommand> WalkCommands(const CLI::App& app);

// The words with a blank between each two, as the shells list them.
std::string JoinWords(const std::vector<std::string>& words);

// The shells' files.
std::string BashCompletion(const std::vector<CompletedCommand>& commands);
std::string ZshCompletion(const std::vector<CompletedCommand>& commands);
std::string FishCompletion(const std::vector<CompletedCommand>& commands);

}  // namespace korvex_tool

#endif
