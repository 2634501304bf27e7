// COptionStorage: opening in INI or registry mode.
#include "korvex/paths.h"
#include "korvex/registry.h"
#include "korvex/settings.h"
#include "platform/shell.h"

int COptionStorage::OpenIniFile(const char* path) {
  if (!m_path.IsEmpty() || m_current) return 0;
  m_path = path ? path : "";
  m_section.Empty();
  return 1;
}

int COptionStorage::OpenIniFile(const char* subfolder, const char* fileName) {
  if (!m_path.IsEmpty() || m_current) return 0;
  char folder[MAX_PATH];
  if (FAILED(SHGetFolderPathA(NULL, CSIDL_APPDATA | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT, folder))) return 0;
  CString path(folder);
  if (subfolder) AppendPath(path, subfolder);
  AppendPath(path, fileName ? fileName : "setup.ini");
  return OpenIniFile(path);
}

int COptionStorage::OpenRegistry(const char* first, const char* second) {
  if (!m_path.IsEmpty() || m_current) return 0;
  CString path("SOFTWARE");
  if (first) AppendPath(path, first);
  if (second) AppendPath(path, second);
  CRegistry* key = new CRegistry;
  if (!key->Open(HKEY_CURRENT_USER, path, 1, KEY_ALL_ACCESS)) {
    delete key;
    return 0;
  }
  m_root = key;
  m_current = key;
  m_section.Empty();
  return 1;
}

int COptionStorage::Open(const char* first, const char* second, int registry) {
  return registry ? OpenRegistry(first, second) : OpenIniFile(first, second);
}
