#include "tools/exit_status.h"

#include <CLI/CLI.hpp>
#include <map>
#include <vector>

#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

struct Status {
  int status;
  std::string meaning;
};

const Status kShared[] = {
    {kExitOk, "the command did its work"},
    {kExitFailed, "it could not: a missing key, value, file or product, a refused URL, a failed write"},
    {kExitUsage, "the command line is malformed; nothing was changed"},
};

// Each command's own statuses, by its words ("base64 decode"), in the order declared.
std::map<std::string, std::vector<Status>>& Declared() {
  static std::map<std::string, std::vector<Status>> declared;
  return declared;
}

std::string CommandWords(const CLI::App* command) {
  std::string words = command->get_name();
  for (const CLI::App* up = command->get_parent(); up && up->get_parent(); up = up->get_parent())
    words = up->get_name() + " " + words;
  return words;
}

// roff: a backslash escapes, and a bare hyphen may print as a dash.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\e") : c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

}  // namespace

void AddExitStatus(CLI::App* command, int status, const char* meaning) {
  std::vector<Status>& own = Declared()[CommandWords(command)];
  if (own.empty()) {
    // The footer lists the command's statuses as declared when help is shown.
    std::string words = CommandWords(command);
    command->footer([words] {
      std::string text = "Exit status: 0 done, 1 failed, 2 malformed command line, and";
      for (const Status& each : Declared()[words]) text += "\n  " + std::to_string(each.status) + " " + each.meaning;
      return text;
    });
  }
  own.push_back({status, meaning});
}

std::string ExitStatusManSection() {
  std::map<int, std::string> lines;
  for (const Status& shared : kShared) lines[shared.status] = Roff(shared.meaning);
  for (const auto& [words, statuses] : Declared())
    for (const Status& each : statuses) {
      std::string& line = lines[each.status];
      line += (line.empty() ? "" : "\n.br\n") + Roff("korvex " + words + ": " + each.meaning);
    }
  std::string section = "[EXIT STATUS]\n";
  for (const auto& [status, text] : lines) section += ".TP\n.B " + std::to_string(status) + "\n" + text + "\n";
  return section;
}

}  // namespace korvex_tool
