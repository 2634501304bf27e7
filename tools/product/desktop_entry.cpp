#include "tools/product/desktop_entry.h"

#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "tools/file_io.h"
#include "tools/tool_error.h"

extern char** environ;

namespace korvex_tool {
namespace {

// Root, unless it names its own data folder, registers for every user, where
// the local administrator's entries belong (/usr/share is the packages').
std::string ApplicationsFolder() {
  const char* data = getenv("XDG_DATA_HOME");
  std::string base;
  if (data && *data == '/')
    base = data;
  else if (geteuid() == 0)
    base = "/usr/local/share";
  else if (const char* home = getenv("HOME"))
    base = std::string(home) + "/.local/share";
  else
    throw ToolError("neither XDG_DATA_HOME nor HOME is set");
  return base + "/applications";
}

void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      throw ToolError("cannot create " + part + ": " + strerror(errno));
    if (slash == std::string::npos) return;
  }
}

// One word of an Exec line: quoted when it holds a reserved character, with
// the characters that stay special inside quotes escaped.
std::string ExecWord(const std::string& word) {
  std::string out;
  for (char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
    if (c == '%') out += '%';  // "%%" is a literal percent sign
  }
  if (word.empty() || word.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) out = '"' + out + '"';
  return out;
}

// The value side of a key: a backslash escapes, so it is doubled.
std::string StringValue(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

void UpdateDatabase(const std::string& folder) {
  const char* argv[] = {"update-desktop-database", folder.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;  // not installed
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    fprintf(stderr, "korvex: update-desktop-database %s failed; the entry is written\n", folder.c_str());
}

}  // namespace

std::string DesktopEntryName(const std::string& product) {
  std::string id = product;
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
  return "korvex-" + id + ".desktop";
}

std::string DesktopEntryPath(const std::string& product) {
  return ApplicationsFolder() + "/" + DesktopEntryName(product);
}

std::string DesktopEntryText(const std::string& product, const std::vector<std::string>& schemes,
                             const std::vector<std::string>& tool) {
  std::string exec, mime, list;
  for (const std::string& word : tool) exec += ExecWord(word) + " ";
  for (const std::string& scheme : schemes) {
    mime += "x-scheme-handler/" + scheme + ";";
    list += (list.empty() ? "" : ", ") + scheme;
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         StringValue(product) +
         "\n"
         "Comment=Opens " +
         list + " links in " + StringValue(product) +
         "\n"
         "Exec=" +
         StringValue(exec) +
         "open --notify %u\n"
         "MimeType=" +
         mime +
         "\n"
         "NoDisplay=true\n"
         "Terminal=false\n";
}

bool WriteDesktopEntry(const std::string& product, const std::string& text) {
  std::string path = DesktopEntryPath(product);
  std::string folder = path.substr(0, path.rfind('/'));
  if (text.empty()) {
    if (unlink(path.c_str()) != 0) {
      if (errno == ENOENT) return false;
      throw ToolError("cannot remove " + path + ": " + strerror(errno));
    }
  } else {
    MakeFolders(folder);
    ReplaceWhole(path, text);
  }
  UpdateDatabase(folder);
  return true;
}

}  // namespace korvex_tool
