#include "tools/product/mime_defaults.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/file_io.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

const char kSection[] = "[Default Applications]";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string Load(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0) return "";
  return ReadAll(path);
}

void Store(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  std::string folder = path.substr(0, path.rfind('/'));
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
    throw ToolError("cannot create " + folder + ": " + strerror(errno));
  ReplaceWhole(path, text);
}

bool IsSection(const std::string& line) { return !line.empty() && line[0] == '['; }

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

}  // namespace

std::string MimeAppsPath() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/mimeapps.list";
  if (geteuid() == 0) return "/etc/xdg/mimeapps.list";
  const char* home = getenv("HOME");
  if (!home) throw ToolError("neither XDG_CONFIG_HOME nor HOME is set");
  return std::string(home) + "/.config/mimeapps.list";
}

void SetSchemeDefaults(const std::string& entry, const std::vector<std::string>& schemes) {
  std::string path = MimeAppsPath();
  std::vector<std::string> lines = Lines(Load(path)), kept;
  bool inSection = false, sectionSeen = false;
  // Our keys leave wherever they were, then follow the section's heading.
  for (const std::string& line : lines) {
    if (IsSection(line)) inSection = line == kSection;
    bool ours = false;
    for (const std::string& scheme : schemes) ours |= inSection && KeyOf(line) == "x-scheme-handler/" + scheme;
    if (ours) continue;
    kept.push_back(line);
    if (line == kSection && !sectionSeen) {
      sectionSeen = true;
      for (const std::string& scheme : schemes) kept.push_back("x-scheme-handler/" + scheme + "=" + entry + ";");
    }
  }
  if (!sectionSeen) {
    if (!kept.empty() && !kept.back().empty()) kept.push_back("");
    kept.push_back(kSection);
    for (const std::string& scheme : schemes) kept.push_back("x-scheme-handler/" + scheme + "=" + entry + ";");
  }
  Store(path, kept);
}

bool RemoveSchemeDefaults(const std::string& entry) {
  std::string path = MimeAppsPath();
  std::vector<std::string> lines = Lines(Load(path)), kept;
  bool inSection = false;
  for (const std::string& line : lines) {
    if (IsSection(line)) inSection = line == kSection;
    size_t equals = line.find('=');
    bool ours = inSection && line.compare(0, 17, "x-scheme-handler/") == 0 && equals != std::string::npos &&
                line.substr(equals + 1) == entry + ";";
    if (!ours) kept.push_back(line);
  }
  if (kept.size() == lines.size()) return false;
  Store(path, kept);
  return true;
}

}  // namespace korvex_tool
