// korvex open: what a clicked link runs. The text is untrusted, so a URL that
// would reach the product as anything but the arguments ExecuteURL means is
// refused before it can start anything.
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <syslog.h>

#include <CLI/CLI.hpp>

#include "korvex/korvex.h"
#include "tools/commands.h"
#include "tools/product/products.h"
#include "tools/tool_error.h"

extern char** environ;

namespace korvex_tool {
namespace {

// The URL as one line of a message: control bytes as \xNN.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A clicked link has no terminal to show a refusal on: a desktop
// notification says it, or, without notify-send, the journal keeps it.
void Notify(const std::string& message) {
  const char* argv[] = {"notify-send", "--app-name=korvex", "korvex open", message.c_str(), nullptr};
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) == 0 &&
      waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return;
  openlog("korvex", LOG_PID, LOG_USER);
  syslog(LOG_WARNING, "%s", message.c_str());
  closelog();
}

void Open(const std::string& text) {
  CUrlInfo url;
  if (!url.ParseURL(text.c_str())) throw ToolError("not a URL: " + Printable(text));
  if (!IsSafeToLaunch(url)) {
    if (ProductForScheme(static_cast<const char*>(url.m_strScheme)).empty())
      throw ToolError("no product opens \"" + Printable(static_cast<const char*>(url.m_strScheme)) + "\" links");
    throw ToolError("refused " + Printable(text) +
                    ": a field holds a blank, a quote or a control byte, or begins with \"-\"");
  }
  // The text check adds only the port: the record keeps 16 bits of any number.
  if (!IsSafeToLaunch(text.c_str()))
    throw ToolError("refused " + Printable(text) + ": the port is not a number from 1 to 65535");
  if (!ExecuteURL(url)) throw ToolError("could not start the product for " + Printable(text));
}

}  // namespace

void AddOpenCommand(CLI::App& app) {
  static std::string url;
  static bool notify = false;
  CLI::App* open = app.add_subcommand("open", "Open a URL in the product that serves its scheme (checked first)");
  open->add_option("URL", url, "e.g. ssh://user@host:22")->required();
  open->add_flag("--notify", notify, "also show a refusal as a desktop notification (the desktop entries use it)");
  open->callback([] {
    try {
      Open(url);
    } catch (const ToolError& error) {
      if (notify) Notify(error.what());
      throw;
    }
  });
}

}  // namespace korvex_tool
