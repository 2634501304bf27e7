#include "korvex/url.h"
#include "url/launchers.h"
#include "url/url_parse.h"

namespace {

// Bytes that end or open an argument when a Windows program splits its
// command line, and a leading "-" that turns an argument into an option.
bool ReachesProductIntact(const CString& field) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(static_cast<const char*>(field));
  int length = field.GetLength();
  if (length > 0 && bytes[0] == '-') return false;
  for (int i = 0; i < length; ++i)
    if (bytes[i] < 0x20 || bytes[i] == 0x7F || bytes[i] == ' ' || bytes[i] == '"') return false;
  return true;
}

bool ParametersReachProductIntact(const CMapStringToString& params) {
  CString name, value;
  for (POSITION position = params.GetStartPosition(); position;) {
    params.GetNextAssoc(position, name, value);
    if (!ReachesProductIntact(name) || !ReachesProductIntact(value)) return false;
  }
  return true;
}

}  // namespace

bool korvex::IsPlainPort(const CString& text) {
  int length = text.GetLength();
  if (length == 0) return true;  // no port
  unsigned long port = 0;
  for (int i = 1; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    port = port * 10 + static_cast<unsigned long>(text[i] - '0');
    if (port > 65535) return false;
  }
  return port >= 1;
}

int IsSafeToLaunch(const char* url) {
  CUrlInfo record;
  CString portText;
  if (!url || !korvex::ParseUrl(record, url, &portText)) return 0;
  return korvex::IsPlainPort(portText) ? IsSafeToLaunch(record) : 0;
}

int IsSafeToLaunch(const CUrlInfo& url) {
  const korvex::Launcher* launcher = korvex::FindLauncher(url.m_strScheme);
  if (!launcher) return 0;
  if (launcher->parameters == korvex::LaunchParameters::kDisplayQuery) return ReachesProductIntact(url.m_strHost);
  return ReachesProductIntact(url.m_strUser) && ReachesProductIntact(url.m_strPassword) &&
                 ReachesProductIntact(url.m_strHost) && ReachesProductIntact(url.m_strPath) &&
                 ParametersReachProductIntact(url.m_mapParams)
             ? 1
             : 0;
}
