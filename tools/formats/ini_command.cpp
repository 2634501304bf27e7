// korvex ini: INI files through the library's INI model.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/file_io.h"
#include "tools/reg/reg_store.h"
#include "tools/formats/json.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

struct IniOptions {
  std::string file, section, key, value;
  std::string fallback;
  bool hasFallback = false;
  bool json = false;
};

// Why the last file call failed, as the system says it.
std::string Reason() { return errno ? strerror(errno) : "failed"; }

void Read(CIniFile& ini, const std::string& file) {
  errno = 0;
  if (!ini.Read(file.c_str())) throw ToolError("cannot read " + file + ": " + Reason());
}

void Get(const IniOptions& options) {
  CIniFile ini;
  Read(ini, options.file);
  // A default that no INI value can hold tells a missing key apart.
  const char* missing = "\n";
  CString value = ini.GetValue(options.section.c_str(), options.key.c_str(), missing);
  if (value == missing) {
    if (!options.hasFallback)
      throw ToolError("no key \"" + options.key + "\" in [" + options.section + "] of " + options.file);
    value = options.fallback.c_str();
  }
  printf("%s\n", static_cast<const char*>(value));
}

// An existing file is edited in place by the profile functions, so that its
// comments, blank lines and line ends stay. They match names in any letter
// case and trimmed, the model exactly: where the two would take different
// lines for the key, the file is put back as it was.
void Edit(const IniOptions& options) {
  std::string before = ReadAll(options.file);
  char folder[PATH_MAX] = "";
  // A name without a folder would be taken from the Windows folder.
  std::string path = options.file[0] == '/' || !getcwd(folder, sizeof folder)
                         ? options.file
                         : std::string(folder) + "/" + options.file;
  if (!WritePrivateProfileStringA(options.section.c_str(), options.key.c_str(), options.value.c_str(), path.c_str()))
    throw ToolError("cannot write " + options.file + ": " + DescribeError(static_cast<LONG>(GetLastError())));
  CIniFile written;
  Read(written, options.file);
  if (written.GetValue(options.section.c_str(), options.key.c_str(), "\n") == options.value.c_str()) return;
  WriteAll(options.file, before);
  throw ToolError("[" + options.section + "] of " + options.file + " holds \"" + options.key +
                  "\" more than once, or in another letter case or with blanks around it; nothing was changed");
}

void Set(const IniOptions& options) {
  if (options.section.empty() || options.key.empty() || options.key.find('=') != std::string::npos ||
      (options.section + options.key + options.value).find_first_of("\r\n") != std::string::npos)
    throw ToolError("the section and key must not be empty, the key holds no \"=\", and nothing holds a line break",
                    kExitUsage);
  if (access(options.file.c_str(), F_OK) == 0) return Edit(options);
  // A new file is the model's, written with the platform's line ends.
  CIniFile ini;
  ini.SetValue(options.section.c_str(), options.key.c_str(), options.value.c_str());
  errno = 0;
  if (!ini.Write(options.file.c_str())) throw ToolError("cannot write " + options.file + ": " + Reason());
  std::string text = ReadAll(options.file), lines;
  for (char c : text)
    if (c != '\r') lines += c;
  WriteAll(options.file, lines);
}

// The model as the library writes it: what the file means, without the lines
// the reader skips, in the writer's order.
void Dump(const IniOptions& options) {
  CIniFile ini;
  Read(ini, options.file);
  char temporary[] = "/tmp/korvex-ini-XXXXXX";
  int fd = mkstemp(temporary);
  if (fd < 0) throw ToolError(std::string("cannot create a temporary file: ") + strerror(errno));
  close(fd);
  errno = 0;
  bool written = ini.Write(temporary);
  std::string text = written ? ReadAll(temporary) : "";
  unlink(temporary);
  if (!written) throw ToolError(std::string("cannot write a temporary file: ") + Reason());
  std::string lines;
  for (char c : text)
    if (c != '\r') lines += c;
  if (!options.json) return (void)fputs(lines.c_str(), stdout);
  // The writer's lines are "[section]" and "key=value" alone.
  std::vector<std::string> sections, keys;
  std::string section;
  bool open = false;
  auto close = [&] {
    if (open) sections.push_back("{\"section\":" + JsonString(section) + ",\"keys\":" + JsonArray(keys) + "}");
    keys.clear();
  };
  for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = lines.substr(start, end - start);
    if (line.size() >= 2 && line[0] == '[' && line.back() == ']') {
      close();
      section = line.substr(1, line.size() - 2);
      open = true;
    } else if (!line.empty()) {
      size_t equals = line.find('=');
      keys.push_back("{\"key\":" + JsonString(line.substr(0, equals)) +
                     ",\"value\":" + JsonString(equals == std::string::npos ? "" : line.substr(equals + 1)) + "}");
      open = true;
    }
  }
  close();
  printf("%s\n", JsonArray(sections).c_str());
}

CLI::App* AddFileCommand(CLI::App* ini, const char* name, const char* description, IniOptions& options) {
  CLI::App* command = ini->add_subcommand(name, description);
  command->add_option("FILE", options.file, "the INI file")->required();
  return command;
}

}  // namespace

void AddIniCommand(CLI::App& app) {
  static IniOptions options;
  CLI::App* ini = AddCommandGroup(app, "ini", "Read and write INI files");
  ini->footer(
      "The INI model keeps every text as written: no blanks trimmed, no quotes removed, no comments. \"ini set\" "
      "changes one line of an existing file and keeps the rest (comments, blank lines, line ends); a new file "
      "gets Linux line ends.");

  CLI::App* get = AddFileCommand(ini, "get", "Show one value", options);
  get->add_option("SECTION", options.section)->required();
  get->add_option("KEY", options.key)->required();
  get->add_option("--default", options.fallback, "shown when the key is missing, instead of failing")
      ->each([](const std::string&) { options.hasFallback = true; });
  get->callback([] { Get(options); });

  CLI::App* set = AddFileCommand(ini, "set", "Set one value, creating the file when missing", options);
  set->add_option("SECTION", options.section)->required();
  set->add_option("KEY", options.key)->required();
  set->add_option("VALUE", options.value)->required();
  set->callback([] { Set(options); });

  CLI::App* dump = AddFileCommand(ini, "dump", "Show every section and key as the library reads them", options);
  dump->add_flag("--json", options.json, "one JSON list of {\"section\",\"keys\":[{\"key\",\"value\"}]}");
  dump->callback([] { Dump(options); });
}

}  // namespace korvex_tool
