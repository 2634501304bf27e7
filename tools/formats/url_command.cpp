// korvex url: the URL record's parser and writer.
#include <stdio.h>

#include <CLI/CLI.hpp>
#include <map>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/formats/json.h"
#include "tools/tool_error.h"
#include "tools/exit_status.h"
#include "url/url_parse.h"

namespace korvex_tool {
namespace {

enum { kExitPortOutOfRange = 3 };

struct UrlOptions {
  std::string text;
  bool json = false;
  std::string scheme, user, password, host, path;
  unsigned port = 0;
  std::vector<std::string> params;
};

// Sorted by name, so the output does not depend on the map's order.
std::map<std::string, std::string> Params(const CUrlInfo& url) {
  std::map<std::string, std::string> params;
  CString name, value;
  for (POSITION pos = url.m_mapParams.GetStartPosition(); pos;) {
    url.m_mapParams.GetNextAssoc(pos, name, value);
    params[static_cast<const char*>(name)] = static_cast<const char*>(value);
  }
  return params;
}

void PrintText(const CUrlInfo& url) {
  const std::pair<const char*, const CString*> fields[] = {{"scheme", &url.m_strScheme},
                                                           {"user", &url.m_strUser},
                                                           {"password", &url.m_strPassword},
                                                           {"host", &url.m_strHost}};
  for (const auto& field : fields) printf("%-9s %s\n", field.first, static_cast<const char*>(*field.second));
  printf("%-9s %u\n", "port", url.m_nPort);
  printf("%-9s %s\n", "path", static_cast<const char*>(url.m_strPath));
  for (const auto& param : Params(url)) printf("%-9s %s=%s\n", "param", param.first.c_str(), param.second.c_str());
}

void PrintJson(const CUrlInfo& url) {
  printf("{\"scheme\": %s, \"user\": %s, \"password\": %s, \"host\": %s, \"port\": %u, \"path\": %s, \"params\": {",
         JsonString(static_cast<const char*>(url.m_strScheme)).c_str(),
         JsonString(static_cast<const char*>(url.m_strUser)).c_str(),
         JsonString(static_cast<const char*>(url.m_strPassword)).c_str(),
         JsonString(static_cast<const char*>(url.m_strHost)).c_str(), url.m_nPort,
         JsonString(static_cast<const char*>(url.m_strPath)).c_str());
  const char* comma = "";
  for (const auto& param : Params(url)) {
    printf("%s%s: %s", comma, JsonString(param.first).c_str(), JsonString(param.second).c_str());
    comma = ", ";
  }
  printf("}}\n");
}

// The record as the library parses it; a port text it keeps only part of is
// said besides, with a status of its own.
void Parse(const UrlOptions& options) {
  CUrlInfo url;
  CString portText;
  if (!korvex::ParseUrl(url, options.text.c_str(), &portText)) throw ToolError("not a URL: " + options.text);
  options.json ? PrintJson(url) : PrintText(url);
  if (!korvex::IsPlainPort(portText))
    throw ToolError("the port \"" + std::string(static_cast<const char*>(portText) + 1) +
                        "\" is not a number from 1 to 65535; the record keeps " + std::to_string(url.m_nPort),
                    kExitPortOutOfRange);
}

void Make(const UrlOptions& options) {
  CUrlInfo url;
  url.m_strScheme = options.scheme.c_str();
  url.m_strUser = options.user.c_str();
  url.m_strPassword = options.password.c_str();
  url.m_strHost = options.host.c_str();
  url.m_nPort = static_cast<unsigned short>(options.port);
  url.m_strPath = options.path.c_str();
  for (const std::string& param : options.params) {
    size_t equals = param.find('=');
    if (equals == std::string::npos || equals == 0)
      throw ToolError("a parameter is NAME=VALUE with a name: " + param, kExitUsage);
    url.m_mapParams.SetAt(CString(param.substr(0, equals).c_str()), CString(param.substr(equals + 1).c_str()));
  }
  CString text;
  url.MakeURL(text);
  printf("%s\n", static_cast<const char*>(text));
}

}  // namespace

void AddUrlCommand(CLI::App& app) {
  static UrlOptions options;
  CLI::App* url = AddCommandGroup(app, "url", "Parse and write URLs as the products read them");

  CLI::App* parse = AddAction(url, "parse", "Show every field and parameter of a URL", [] { Parse(options); });
  parse->add_option("URL", options.text, "[scheme://][user[:password]@]host[:port][/path][?name=value&...]")
      ->required();
  parse->add_flag("--json", options.json, "one JSON object instead of lines");
  AddExitStatus(parse, kExitPortOutOfRange,
                "parsed, but the port is not a number from 1 to 65535 (the record keeps the low 16 bits of what the "
                "text holds, and \"korvex open\" refuses it)");

  CLI::App* make = AddAction(url, "make", "Write a URL from its fields, escaping what needs it", [] { Make(options); });
  make->add_option("--scheme", options.scheme, "e.g. ssh");
  make->add_option("--user", options.user);
  make->add_option("--password", options.password);
  make->add_option("--host", options.host)->required();
  make->add_option("--port", options.port, "0 for none")->check(CLI::Range(0, 65535));
  make->add_option("--path", options.path);
  make->add_option("--param", options.params, "NAME=VALUE, repeatable");
}

}  // namespace korvex_tool
