// The zsh completion: the command the words name, then _arguments with that
// command's options and arguments.
#include <sstream>

#include "tools/completion/command_tree.h"

namespace korvex_tool {
namespace {

const char kFunctions[] = R"zsh(
_korvex_keys() {
  local -a keys
  keys=(${(f)"$($_korvex_tool _keys ${(Q)PREFIX} 2>/dev/null)"})
  compadd -U -S '' -- $keys
}

_korvex() {
  local _korvex_tool=${words[1]} command=korvex
  local -i i last=1
  # The words that name a subcommand: the command being completed.
  for (( i = 2; i < CURRENT; i++ )); do
    if (( ${${=_korvex_subcommands[$command]}[(Ie)${words[i]}]} )); then
      command="$command ${words[i]}"; last=i
    fi
  done
  words=($words[1] $words[last+1,-1])
  (( CURRENT -= last - 1 ))
  case $command in
)zsh";

// Inside a single-quoted shell word.
std::string Quoted(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out;
}

// An _arguments description: brackets and backslashes escaped.
std::string Description(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '[' || c == ']' || c == '\\' || c == ':' ? std::string("\\") + c : std::string(1, c);
  return out;
}

std::string Action(WordKind kind, const std::vector<std::string>& choices) {
  if (!choices.empty()) return "value:(" + JoinWords(choices) + ")";
  return kind == WordKind::kRegistryKey ? "key:_korvex_keys" : "file:_files";
}

std::string OptionSpecs(const CompletedOption& option) {
  std::string group, specs;
  for (const std::string& name : option.shortNames) group += (group.empty() ? "-" : " -") + name;
  for (const std::string& name : option.longNames) group += (group.empty() ? "--" : " --") + name;
  std::string tail = "[" + Description(option.description) + "]";
  if (option.takesValue) tail += ":" + Action(option.kind, option.choices);
  for (const std::string& name : option.shortNames)
    specs += "      '(" + Quoted(group) + ")-" + name + (option.takesValue ? "+" : "") + Quoted(tail) + "' \\\n";
  for (const std::string& name : option.longNames)
    specs += "      '(" + Quoted(group) + ")--" + name + (option.takesValue ? "=" : "") + Quoted(tail) + "' \\\n";
  return specs;
}

// The key of a command in the file's table and case: "korvex" and its words.
std::string CaseName(const CompletedCommand& command) {
  return Quoted(command.words.empty() ? "korvex" : "korvex " + command.words);
}

}  // namespace

std::string ZshCompletion(const std::vector<CompletedCommand>& commands) {
  std::ostringstream out;
  out << "#compdef korvex\n# zsh completion for korvex, written by \"korvex _generate zsh\" from the tool's\n"
         "# command definitions.\ntypeset -gA _korvex_subcommands\n_korvex_subcommands=(\n";
  for (const CompletedCommand& command : commands)
    out << "  '" << CaseName(command) << "' '" << JoinWords(command.subcommands) << "'\n";
  out << ")\n" << (kFunctions + 1);
  for (const CompletedCommand& command : commands) {
    out << "    '" << CaseName(command) << "')\n"
        << "      _arguments -s -S : \\\n";
    for (const CompletedOption& option : command.options) out << OptionSpecs(option);
    if (!command.subcommands.empty()) out << "      '1:command:(" << JoinWords(command.subcommands) << ")' \\\n";
    for (size_t i = 0; i < command.positionals.size(); ++i)
      out << "      '" << i + 1 << ":" << Action(command.positionals[i], {}) << "' \\\n";
    out << "      ;;\n";
  }
  out << "  esac\n}\n\n_korvex \"$@\"\n";
  return out.str();
}

}  // namespace korvex_tool
