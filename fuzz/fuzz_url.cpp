// ParseURL on any text; a successful parse written back with MakeURL must parse
// again to the same record, apart from the cases the writer cannot carry.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "korvex/url.h"

namespace {

bool Holds(const CString& text, char c) {
  return memchr(static_cast<const char*>(text), c, static_cast<size_t>(text.GetLength())) != nullptr;
}

// "+" reads back as a space and a zero byte ends the written text.
bool Carried(const CString& text) { return !Holds(text, '+') && !Holds(text, '\0'); }

// Records the writer cannot carry: the cases above, a password without a user,
// names that are empty or hold "=", and a scheme (written unescaped) holding
// "%" or "://".
bool RoundTrips(const CUrlInfo& url) {
  if (url.m_strUser.IsEmpty() && !url.m_strPassword.IsEmpty()) return false;
  if (!Carried(url.m_strScheme) || !Carried(url.m_strUser) || !Carried(url.m_strPassword) ||
      !Carried(url.m_strHost) || !Carried(url.m_strPath))
    return false;
  if (Holds(url.m_strScheme, '%') || url.m_strScheme.Find("://") >= 0) return false;
  CString name, value;
  for (POSITION position = url.m_mapParams.GetStartPosition(); position;) {
    url.m_mapParams.GetNextAssoc(position, name, value);
    if (name.IsEmpty() || Holds(name, '=') || !Carried(name) || !Carried(value)) return false;
  }
  return true;
}

void ExpectSame(const CUrlInfo& a, const CUrlInfo& b) {
  bool same = a.m_strScheme == b.m_strScheme && a.m_strUser == b.m_strUser && a.m_strPassword == b.m_strPassword &&
              a.m_strHost == b.m_strHost && a.m_nPort == b.m_nPort && a.m_strPath == b.m_strPath &&
              a.m_mapParams.GetCount() == b.m_mapParams.GetCount();
  CString name, value;
  for (POSITION position = a.m_mapParams.GetStartPosition(); same && position;) {
    a.m_mapParams.GetNextAssoc(position, name, value);
    const CString* other = b.m_mapParams.PLookup(name);
    same = other && *other == value;
  }
  if (!same) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CUrlInfo first;
  if (!first.ParseURL(text.c_str())) return 0;
  CString written;
  if (first.MakeURL(written) != 1) abort();
  if (!RoundTrips(first)) return 0;
  CUrlInfo second;
  if (!second.ParseURL(written)) abort();
  ExpectSame(first, second);
  return 0;
}
