#include "tools/product/mime_defaults.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tools/file_io.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

const char kSection[] = "[Default Applications]";
const std::string kSchemeKey = "x-scheme-handler/";

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

std::string ValueOf(const std::string& line) {
  size_t equals = line.find('=');
  return equals == std::string::npos ? "" : line.substr(equals + 1);
}

// The value's desktop entries other than `entry`, each followed by ";".
std::string Without(const std::string& value, const std::string& entry) {
  std::string others;
  for (size_t start = 0, end; start < value.size(); start = end + 1) {
    end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string item = value.substr(start, end - start);
    if (!item.empty() && item != entry) others += item + ";";
  }
  return others;
}

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
  std::vector<std::string> lines = Lines(Load(path));
  std::vector<std::string> missing;
  for (const std::string& scheme : schemes) missing.push_back(kSchemeKey + scheme);
  bool inSection = false;
  size_t header = lines.size();
  // A scheme's line keeps its place, with the entry first and the user's
  // other choices after it.
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsSection(lines[i])) {
      inSection = lines[i] == kSection;
      if (inSection && header == lines.size()) header = i;
    }
    auto scheme = std::find(missing.begin(), missing.end(), KeyOf(lines[i]));
    if (!inSection || scheme == missing.end()) continue;
    lines[i] = *scheme + "=" + entry + ";" + Without(ValueOf(lines[i]), entry);
    missing.erase(scheme);
  }
  if (header == lines.size()) {
    if (!lines.empty() && !lines.back().empty()) lines.push_back("");
    lines.push_back(kSection);
    header = lines.size() - 1;
  }
  for (std::string& key : missing) key += "=" + entry + ";";
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, missing.begin(), missing.end());
  Store(path, lines);
}

bool RemoveSchemeDefaults(const std::string& entry) {
  std::string path = MimeAppsPath();
  std::vector<std::string> lines = Lines(Load(path)), kept;
  bool inSection = false, changed = false;
  for (const std::string& line : lines) {
    if (IsSection(line)) inSection = line == kSection;
    std::string others = Without(ValueOf(line), entry);
    if (!inSection || line.compare(0, kSchemeKey.size(), kSchemeKey) != 0 || others == ValueOf(line)) {
      kept.push_back(line);
      continue;
    }
    // The line goes only with its last entry.
    changed = true;
    if (!others.empty()) kept.push_back(KeyOf(line) + "=" + others);
  }
  if (changed) Store(path, kept);
  return changed;
}

}  // namespace korvex_tool
