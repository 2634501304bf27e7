#include "korvex/registry.h"

#include "registry/watch_thread.h"
#include "registry/watcher_assign.h"

CRegistryWatcher::CRegistryWatcher()
    : m_hKey(NULL), m_hWnd(NULL), m_nMessage(0), m_dwFilter(0), m_bWatchSubtree(0), m_hThread(NULL) {}

CRegistryWatcher::CRegistryWatcher(const CRegistryWatcher& other) = default;

CRegistryWatcher::~CRegistryWatcher() { EndWatch(); }

CRegistryWatcher& CRegistryWatcher::operator=(const CRegistryWatcher& other) {
  return korvex::AssignWatcher(*this, other, &CRegistryWatcher::m_hKey, &CRegistryWatcher::m_hWnd,
                               &CRegistryWatcher::m_nMessage, &CRegistryWatcher::m_dwFilter,
                               &CRegistryWatcher::m_bWatchSubtree, &CRegistryWatcher::m_hThread);
}

int CRegistryWatcher::BeginWatch(HKEY key, int watchSubtree, HWND window, unsigned int message, unsigned long filter) {
  if (m_hThread) return 0;
  m_hKey = key;
  m_bWatchSubtree = watchSubtree;
  m_hWnd = window;
  m_nMessage = message;
  m_dwFilter = filter;
  m_hThread = korvex::StartWatchThread(&ThreadProc, this);
  return m_hThread ? 1 : 0;
}

void CRegistryWatcher::EndWatch() {
  if (!m_hThread) return;
  korvex::StopWatchThread(m_hThread);
  m_hThread = NULL;
}

// A new wait is armed only once the window has handled the message, so a
// change in between is reported by the next message, not by one of its own.
DWORD WINAPI CRegistryWatcher::ThreadProc(LPVOID parameter) {
  const CRegistryWatcher* watcher = static_cast<const CRegistryWatcher*>(parameter);
  while (korvex::WaitForKeyChange(watcher->m_hKey, watcher->m_bWatchSubtree ? TRUE : FALSE,
                                  static_cast<DWORD>(watcher->m_dwFilter)) == ERROR_SUCCESS &&
         korvex::NotifyWindow(watcher->m_hWnd, watcher->m_nMessage)) {
  }
  return 0;
}
