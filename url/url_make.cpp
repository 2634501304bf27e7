#include "korvex/url.h"
#include "url/url_escape.h"

namespace {

void AppendEncoded(CString& url, CString text) {
  korvex::UrlEncode(text);
  url += text;
}

}  // namespace

int CUrlInfo::MakeURL(CString& url) const {
  url.Empty();
  if (!m_strScheme.IsEmpty()) {
    url += m_strScheme;
    url += "://";
  }
  if (!m_strUser.IsEmpty()) {
    AppendEncoded(url, m_strUser);
    if (!m_strPassword.IsEmpty()) {
      url += ':';
      AppendEncoded(url, m_strPassword);
    }
    url += '@';
  }
  AppendEncoded(url, m_strHost);
  if (m_nPort != 0) {
    CString port;
    port.Format(":%d", static_cast<int>(m_nPort));
    url += port;
  }
  if (!m_strPath.IsEmpty()) {
    // Exactly one literal "/" leads; any further "/" is escaped.
    url += '/';
    AppendEncoded(url, m_strPath[0] == '/' ? m_strPath.Mid(1) : m_strPath);
  }
  const char* separator = "?";
  CString name, value;
  for (POSITION position = m_mapParams.GetStartPosition(); position;) {
    m_mapParams.GetNextAssoc(position, name, value);
    url += separator;
    AppendEncoded(url, name);
    url += '=';
    AppendEncoded(url, value);
    separator = "&";
  }
  return 1;
}
