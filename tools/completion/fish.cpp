// The fish completion: one `complete` line for each subcommand, option and
// argument, each under the condition that the command line names its command.
#include <sstream>

#include "tools/completion/command_tree.h"

namespace korvex_tool {
namespace {

const char kFunctions[] = R"fish(
# The words so far that name a command ("reg query"); empty at the top.
function __korvex_command
    set -l path
    for word in (commandline -opc)[2..-1]
        set -l candidate (string join -- ' ' $path $word)
        contains -- "$candidate" $__korvex_commands; and set path $path $word
    end
    string join -- ' ' $path
end

function __korvex_at
    set -l command (__korvex_command)
    test "$command" = "$argv"
end

function __korvex_keys
    set -l tool (commandline -opc)[1]
    $tool _keys (commandline -ct | string unescape) 2>/dev/null
end

complete -c korvex -f
)fish";

// A fish single-quoted word.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\\' || c == '\'' ? std::string("\\") + c : std::string(1, c);
  return out + "'";
}

std::string Condition(const std::string& words) {
  return "complete -c korvex -n " + Quoted(words.empty() ? "__korvex_at" : "__korvex_at " + words);
}

std::string ArgumentAction(WordKind kind) {
  return kind == WordKind::kRegistryKey ? " -x -a '(__korvex_keys)'" : " -F";
}

}  // namespace

std::string FishCompletion(const std::vector<CompletedCommand>& commands) {
  std::ostringstream out;
  out << "# fish completion for korvex, written by \"korvex _generate fish\" from the\n"
         "# tool's command definitions.\nset -g __korvex_commands";
  for (const CompletedCommand& command : commands)
    if (!command.words.empty()) out << " " << Quoted(command.words);
  out << "\n" << (kFunctions + 1);
  for (const CompletedCommand& command : commands) {
    // A command's own name is offered where its parent stands.
    size_t last = command.words.rfind(' ');
    if (!command.words.empty())
      out << Condition(last == std::string::npos ? "" : command.words.substr(0, last)) << " -a " << Quoted(command.name)
          << " -d " << Quoted(command.description) << "\n";
    for (const CompletedOption& option : command.options) {
      out << Condition(command.words);
      for (const std::string& name : option.shortNames) out << " -s " << name;
      for (const std::string& name : option.longNames) out << " -l " << name;
      if (!option.choices.empty()) {
        out << " -x -a " << Quoted(JoinWords(option.choices));
      } else if (option.takesValue) {
        out << " -r" << ArgumentAction(option.kind);
      }
      out << " -d " << Quoted(option.description) << "\n";
    }
    for (WordKind kind : command.positionals) out << Condition(command.words) << ArgumentAction(kind) << "\n";
  }
  return out.str();
}

}  // namespace korvex_tool
