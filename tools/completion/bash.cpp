// The bash completion: one table of each command's words, read by one function.
#include <sstream>

#include "tools/completion/command_tree.h"

namespace korvex_tool {
namespace {

const char kFunction[] = R"bash(
_korvex() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local path="" subs opts valued keyed args word i count=0 value=0 words="" kind
  _korvex_define ""
  # The words so far: the command they name, how many arguments it has, and
  # whether the last one wants a value.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if ((value)); then value=0; continue; fi
    if [[ $word == -?* ]]; then
      [[ " $valued " == *" $word "* ]] && value=1
    elif [[ " $subs " == *" $word "* ]]; then
      path=${path:+$path }$word; count=0; _korvex_define "$path"
    else
      count=$((count + 1))
    fi
  done
  if ((value)); then
    _korvex_choices "$path $prev"
    kind=path; [[ " $keyed " == *" $prev "* ]] && kind=key
  elif [[ $cur == -* ]]; then
    words=$opts
  elif [[ -n $subs ]]; then
    words=$subs
  else
    local kinds=($args); kind=${kinds[count]}
  fi
  if [[ -n $words ]]; then
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
  elif [[ $kind == key ]]; then
    # The key as typed, its quote or escaping backslashes taken off.
    local IFS=$'\n' prefix=${cur#[\'\"]} two='\\' one='\'
    COMPREPLY=($("${COMP_WORDS[0]}" _keys "${prefix//"$two"/"$one"}" 2>/dev/null))
    compopt -o filenames -o nospace 2>/dev/null
  elif [[ $kind == path ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
  fi
}
complete -F _korvex korvex
)bash";

const char* KindWord(WordKind kind) { return kind == WordKind::kRegistryKey ? "key" : "path"; }

std::vector<std::string> Names(const CompletedOption& option) {
  std::vector<std::string> names;
  for (const std::string& name : option.shortNames) names.push_back("-" + name);
  for (const std::string& name : option.longNames) names.push_back("--" + name);
  return names;
}

}  // namespace

std::string BashCompletion(const std::vector<CompletedCommand>& commands) {
  std::ostringstream define, choices;
  for (const CompletedCommand& command : commands) {
    std::vector<std::string> opts, valued, keyed, args;
    for (const CompletedOption& option : command.options) {
      for (const std::string& name : Names(option)) {
        opts.push_back(name);
        if (option.takesValue) valued.push_back(name);
        if (option.takesValue && option.kind == WordKind::kRegistryKey) keyed.push_back(name);
        if (!option.choices.empty())
          choices << "    \"" << command.words << " " << name << "\") words=\"" << JoinWords(option.choices)
                  << "\" ;;\n";
      }
    }
    for (WordKind kind : command.positionals) args.push_back(KindWord(kind));
    define << "    \"" << command.words << "\") subs=\"" << JoinWords(command.subcommands) << "\" opts=\""
           << JoinWords(opts) << "\" valued=\"" << JoinWords(valued) << "\" keyed=\"" << JoinWords(keyed)
           << "\" args=\"" << JoinWords(args) << "\" ;;\n";
  }
  return "# bash completion for korvex, written by \"korvex _generate bash\" from the\n"
         "# tool's command definitions.\n"
         "_korvex_define() {\n  case $1 in\n" +
         define.str() + "  esac\n}\n_korvex_choices() {\n  case $1 in\n" + choices.str() + "  esac\n}\n" +
         (kFunction + 1);
}

}  // namespace korvex_tool
