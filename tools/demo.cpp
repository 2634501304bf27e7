// korvex demo: the library's main road, told step by step, on a registry and
// a configuration folder of its own inside the demo folder.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <thread>

#include "korvex/korvex.h"
#include "tools/commands.h"
#include "tools/file_io.h"
#include "tools/product/products.h"
#include "tools/reg/reg_file.h"
#include "tools/reg/reg_store.h"
#include "tools/formats/utf16.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

const char kUrl[] = "ssh://user@host:22/srv/logs?tail=100";

void Say(const char* format, const std::string& text = "") { printf(format, text.c_str()); }

void MakeFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
    throw ToolError("cannot create " + folder + ": " + strerror(errno));
}

std::string AbsolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) throw ToolError("cannot find " + path);
  return resolved;
}

// The stand-in terminal product: writes its arguments, one a line, where the
// demo reads them, complete or not at all.
std::string WriteTerminalProduct(const std::string& folder, const std::string& received) {
  std::string script = folder + "/Torvik";
  WriteAll(script,
           "#!/bin/sh\n"
           "# A stand-in for the terminal product: records the command line it was started with.\n"
           "printf '%s\\n' \"$0\" \"$@\" > '" +
               received + ".part' && mv '" + received + ".part' '" + received + "'\n");
  if (chmod(script.c_str(), 0755) != 0) throw ToolError("cannot make " + script + " executable");
  return script;
}

std::string WaitForFile(const std::string& path) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  struct stat info;
  while (stat(path.c_str(), &info) != 0) {
    if (std::chrono::steady_clock::now() > end) throw ToolError("the product did not start within 20 seconds");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return ReadAll(path);
}

void RegisterStep(const std::string& products, const std::string& received) {
  Say("\n1. Register a sample terminal product\n");
  std::string script = WriteTerminalProduct(products, received);
  Say("   The terminal product Torvik is played by a small script, %s,\n"
      "   which only records the command line it is started with.\n",
      script);
  UnregisterProduct("Torvik");  // a previous run's entry
  Say("   $ korvex product register Torvik --version 2.0 --path %s\n", products);
  Say("   wrote %s: Path and Version, where GetProductPath looks\n", RegisterProduct("Torvik", "2.0", products));
  FoundProduct found;
  if (!FindProduct("Torvik", &found)) throw ToolError("GetProductPath does not find the product just registered");
  Say("   $ korvex product find Torvik\n   GetProductPath finds %s\n", found.path);
  Say("   %s\n", found.way);
}

void OpenStep(const std::string& received) {
  Say("\n2. Open %s\n", kUrl);
  CUrlInfo url;
  if (!url.ParseURL(kUrl)) throw ToolError("the demo URL does not parse");
  printf("   The URL record: scheme %s, user %s, host %s, port %u, path %s, tail=%s\n",
         static_cast<const char*>(url.m_strScheme), static_cast<const char*>(url.m_strUser),
         static_cast<const char*>(url.m_strHost), url.m_nPort, static_cast<const char*>(url.m_strPath),
         static_cast<const char*>(url.m_mapParams["tail"]));
  if (!IsSafeToLaunch(kUrl)) throw ToolError("the launch check refuses the demo URL");
  Say("   The launch check passes it: no field can smuggle in an argument.\n");
  remove(received.c_str());
  if (!ExecuteURL(url)) throw ToolError("ExecuteURL did not start the product");
  Say("   ExecuteURL found Torvik for \"ssh\" and started it. Torvik received:\n");
  std::string lines = WaitForFile(received);
  for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1)
    Say(start ? "     argument: %s\n" : "     program:  %s\n", lines.substr(start, end - start));
}

void OptionsStep() {
  Say("\n3. Keep an option in both stores and read it back\n");
  struct Store {
    int registry;
    const char* where;
  } stores[] = {{0, "the profile file korvex-demo/setup.ini in the application-data folder"},
                {1, "the registry key HKEY_CURRENT_USER\\SOFTWARE\\korvex-demo\\Terminal"}};
  for (const Store& store : stores) {
    COptionStorage options;
    if (!options.Open("korvex-demo", store.registry ? "Terminal" : "setup.ini", store.registry) ||
        !options.SetSection("Session"))
      throw ToolError(std::string("cannot open ") + store.where);
    options.SetValue("Columns", 132);
    options.SetValue("Title", "logs on host");
    Say("   In %s, section Session:\n", store.where);
    printf("     wrote Columns=132 and Title=\"logs on host\"; read back Columns=%d, Title=\"%s\"\n",
           options.GetValue("Columns", -1), static_cast<const char*>(options.GetValue("Title", "?")));
  }
}

void ExportStep(const std::string& folder) {
  std::string file = folder + "/torvik.reg";
  Say("\n4. Export the product's registry key as a .reg file\n");
  Say("   $ korvex reg export HKLM\\Software\\Quorvanta\\Torvik %s\n", file);
  KeyPath key;
  std::string bytes, error;
  ParseKeyPath(ProductKeyName("Torvik"), &key, &error);
  if (!WriteRegFile(ReadTree(key), &bytes, &error)) throw ToolError(error);
  WriteAll(file, bytes);
  std::u16string wide;
  std::string text;
  if (!BytesToUtf16(bytes.substr(2), &wide) || !Utf16ToText(wide, &text)) throw ToolError("cannot show " + file);
  Say("   The file, UTF-16LE as Windows writes it, reads:\n");
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Say(line.empty() ? "\n" : "     %s\n", line);
  }
}

void RunDemo(const std::string& folder) {
  MakeFolder(folder);
  std::string work = AbsolutePath(folder), products = work + "/products", config = work + "/config";
  MakeFolder(products);
  MakeFolder(config);
  MakeFolder(config + "/korvex-demo");
  // A registry and an application-data folder of the demo's own: nothing of
  // the user's is touched.
  setenv("KORVEX_REGISTRY_DIR", (work + "/registry").c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  MakeFolder(work + "/registry");
  Say("korvex demo: the library's main road, in %s\n", work);
  std::string received = work + "/received.txt";
  RegisterStep(products, received);
  OpenStep(received);
  OptionsStep();
  ExportStep(work);
  Say("\nDone. Everything the demo wrote is in %s.\n", work);
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  static std::string folder = "korvex-demo";
  CLI::App* demo = app.add_subcommand("demo", "Walk the library's main road, step by step, in a scratch folder");
  demo->add_option("FOLDER", folder, "where the demo keeps its files, registry included")->capture_default_str();
  demo->callback([] { RunDemo(folder); });
}

}  // namespace korvex_tool
