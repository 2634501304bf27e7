// ParseURL on any text; a successful parse written back with MakeURL must
// parse again to what the writer's rules give, an independent model of them:
// - "+" is written unchanged and reads back as a space, in every field;
// - a parameter name is cut at its first "=", which the writer leaves
//   unescaped, and the rest joins the value; an empty name drops the pair;
// - of parameters that come back under one name, the last written wins.
// Left out, as the text form cannot carry them: a zero byte (it ends the
// written text), a password without a user, and a scheme (written unescaped)
// holding "%" or "://".
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>

#include "korvex/url.h"

namespace {

std::string Bytes(const CString& text) { return std::string(text, static_cast<size_t>(text.GetLength())); }

std::string PlusAsSpace(std::string text) {
  for (char& c : text)
    if (c == '+') c = ' ';
  return text;
}

struct Record {
  std::string scheme, user, password, host, path;
  unsigned short port;
  std::map<std::string, std::string> params;
};

Record Read(const CUrlInfo& url) {
  Record r{Bytes(url.m_strScheme),
           Bytes(url.m_strUser),
           Bytes(url.m_strPassword),
           Bytes(url.m_strHost),
           Bytes(url.m_strPath),
           url.m_nPort,
           {}};
  const CString* name;
  const CString* value;
  for (POSITION position = url.m_mapParams.GetStartPosition(); position;) {
    url.m_mapParams.GetNextAssoc(position, name, value);
    r.params[Bytes(*name)] = Bytes(*value);
  }
  return r;
}

// What a second parse of the written record must give.
Record Expected(const CUrlInfo& url) {
  Record r = Read(url);
  r.scheme = PlusAsSpace(r.scheme);
  r.user = PlusAsSpace(r.user);
  r.password = PlusAsSpace(r.password);
  r.host = PlusAsSpace(r.host);
  r.path = PlusAsSpace(r.path);
  r.params.clear();
  // In the order the writer puts the pairs, so a later one replaces an earlier.
  const CString* name;
  const CString* value;
  for (POSITION position = url.m_mapParams.GetStartPosition(); position;) {
    url.m_mapParams.GetNextAssoc(position, name, value);
    std::string pair = Bytes(*name) + "=" + Bytes(*value);
    size_t equals = pair.find('=');
    if (equals == 0) continue;
    r.params[PlusAsSpace(pair.substr(0, equals))] = PlusAsSpace(pair.substr(equals + 1));
  }
  return r;
}

bool Carried(const CUrlInfo& url) {
  Record r = Read(url);
  std::string all = r.scheme + r.user + r.password + r.host + r.path;
  for (const auto& param : r.params) all += param.first + param.second;
  if (all.find('\0') != std::string::npos) return false;
  if (r.user.empty() && !r.password.empty()) return false;
  return r.scheme.find('%') == std::string::npos && r.scheme.find("://") == std::string::npos;
}

bool Same(const Record& a, const Record& b) {
  return a.scheme == b.scheme && a.user == b.user && a.password == b.password && a.host == b.host && a.path == b.path &&
         a.port == b.port && a.params == b.params;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CUrlInfo first;
  if (!first.ParseURL(text.c_str())) return 0;
  CString written;
  if (first.MakeURL(written) != 1) abort();
  if (!Carried(first)) return 0;
  CUrlInfo second;
  if (!second.ParseURL(written)) abort();
  if (!Same(Read(second), Expected(first))) abort();
  return 0;
}
