#include "korvex/text.h"
#include "korvex/url.h"
#include "platform/shell.h"
#include "url/launchers.h"

int ExecuteURL(const char* url) {
  CUrlInfo record;
  return record.ParseURL(url) ? ExecuteURL(record) : 0;
}

int ExecuteURL(const CUrlInfo& url) {
  const korvex::Launcher* launcher = korvex::FindLauncher(url.m_strScheme);
  if (!launcher) return 0;
  CString program;
  if (!GetProductPath(launcher->product, program)) return 0;

  CString parameters;
  if (launcher->parameters == korvex::LaunchParameters::kDisplayQuery) {
    parameters = csFmt(":[0] -query %s", static_cast<const char*>(url.m_strHost));
  } else {
    CString text;
    url.MakeURL(text);
    parameters = "-url " + text;
  }
  // Neither text is quoted: the product splits the parameters itself.
  HINSTANCE result = ShellExecuteA(NULL, NULL, program, parameters, NULL, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32 ? 1 : 0;
}
