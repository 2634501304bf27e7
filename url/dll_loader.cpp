#include "korvex/url.h"
#include "platform/shell.h"

CDllLoader::CDllLoader(const char* path, int autoFree) : m_hModule(LoadLibraryA(path)), m_bAutoFree(autoFree) {}

CDllLoader::~CDllLoader() {
  if (m_bAutoFree && m_hModule) FreeLibrary(m_hModule);
}

// A copy borrows the module: only the loading object frees it.
CDllLoader::CDllLoader(const CDllLoader& other) : m_hModule(other.m_hModule), m_bAutoFree(0) {}

CDllLoader& CDllLoader::operator=(const CDllLoader& other) {
  // Holding the same handle, an owner stays the owner (self-assignment too).
  if (other.m_hModule == m_hModule) return *this;
  if (m_bAutoFree && m_hModule) FreeLibrary(m_hModule);
  m_hModule = other.m_hModule;
  m_bAutoFree = 0;
  return *this;
}

int CDllLoader::IsLoaded() { return m_hModule ? 1 : 0; }

FARPROC CDllLoader::GetProcAddress(const char* name) { return m_hModule ? ::GetProcAddress(m_hModule, name) : NULL; }

int CDllLoader::GetVersion(unsigned long* version) {
  FARPROC proc = version ? GetProcAddress("DllGetVersion") : NULL;
  if (!proc) return 0;
  // Through the generic function pointer type, which any function pointer converts to.
  DLLGETVERSIONPROC getVersion = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void (*)(void)>(proc));
  DLLVERSIONINFO info;
  info.cbSize = sizeof info;
  if (getVersion(&info) < 0) return 0;
  *version = (info.dwMajorVersion & 0xFFFFu) | ((info.dwMinorVersion & 0xFFFFu) << 16);
  return 1;
}
