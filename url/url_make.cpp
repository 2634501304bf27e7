#include <limits.h>
#include <string.h>

#include <vector>

#include "korvex/url.h"
#include "url/url_escape.h"

namespace {

// One stretch of the URL text, written as it is or encoded.
struct Part {
  const char* text;
  size_t length;
  bool encoded;
};

Part Plain(const char* text) { return Part{text, strlen(text), false}; }
Part Encoded(const CString& text) { return Part{text, static_cast<size_t>(text.GetLength()), true}; }

}  // namespace

int CUrlInfo::MakeURL(CString& url) const {
  std::vector<Part> parts;
  if (!m_strScheme.IsEmpty()) {
    parts.push_back(Part{m_strScheme, static_cast<size_t>(m_strScheme.GetLength()), false});
    parts.push_back(Plain("://"));
  }
  if (!m_strUser.IsEmpty()) {
    parts.push_back(Encoded(m_strUser));
    if (!m_strPassword.IsEmpty()) {
      parts.push_back(Plain(":"));
      parts.push_back(Encoded(m_strPassword));
    }
    parts.push_back(Plain("@"));
  }
  parts.push_back(Encoded(m_strHost));
  char port[8];
  if (m_nPort != 0) {
    snprintf(port, sizeof port, ":%d", static_cast<int>(m_nPort));
    parts.push_back(Plain(port));
  }
  if (!m_strPath.IsEmpty()) {
    // Exactly one literal "/" leads; any further "/" is escaped.
    parts.push_back(Plain("/"));
    Part rest = Encoded(m_strPath);
    if (m_strPath[0] == '/') ++rest.text, --rest.length;
    parts.push_back(rest);
  }
  const char* separator = "?";
  const CString* name;
  const CString* value;
  for (POSITION position = m_mapParams.GetStartPosition(); position;) {
    m_mapParams.GetNextAssoc(position, name, value);
    parts.push_back(Plain(separator));
    parts.push_back(Encoded(*name));
    parts.push_back(Plain("="));
    parts.push_back(Encoded(*value));
    separator = "&";
  }

  size_t total = 0;
  for (const Part& part : parts) {
    total += part.encoded ? korvex::UrlEncodedLength(part.text, part.length) : part.length;
    if (total > static_cast<size_t>(INT_MAX)) {
      url.Empty();
      return 0;
    }
  }
  // The record's own text may be the output: fill a new string, then hand it over.
  CString text;
  char* out = text.GetBufferSetLength(static_cast<int>(total));
  for (const Part& part : parts) {
    if (part.encoded) {
      out = korvex::UrlEncodeInto(out, part.text, part.length);
    } else {
      memcpy(out, part.text, part.length);
      out += part.length;
    }
  }
  url = text;
  return 1;
}
