#include "korvex/registry.h"

#include "registry/watch_thread.h"
#include "registry/watcher_assign.h"

CFolderWatcher::CFolderWatcher() : m_hWnd(NULL), m_nMessage(0), m_hChange(INVALID_HANDLE_VALUE), m_hThread(NULL) {}

CFolderWatcher::CFolderWatcher(const CFolderWatcher& other) = default;

CFolderWatcher::~CFolderWatcher() { EndWatch(); }

CFolderWatcher& CFolderWatcher::operator=(const CFolderWatcher& other) {
  return korvex::AssignWatcher(*this, other, &CFolderWatcher::m_hWnd, &CFolderWatcher::m_nMessage,
                               &CFolderWatcher::m_hChange, &CFolderWatcher::m_hThread);
}

int CFolderWatcher::BeginWatch(const char* path, int watchSubtree, HWND window, unsigned int message,
                               unsigned long filter) {
  if (m_hThread || !path) return 0;
  m_hWnd = window;
  m_nMessage = message;
  m_hChange = FindFirstChangeNotificationA(path, watchSubtree ? TRUE : FALSE, static_cast<DWORD>(filter));
  if (m_hChange == INVALID_HANDLE_VALUE) return 0;
  m_hThread = korvex::StartWatchThread(&ThreadProc, this);
  if (m_hThread) return 1;
  FindCloseChangeNotification(m_hChange);
  m_hChange = INVALID_HANDLE_VALUE;
  return 0;
}

void CFolderWatcher::EndWatch() {
  if (!m_hThread) return;
  // The worker goes first: it waits on the change handle.
  korvex::StopWatchThread(m_hThread);
  m_hThread = NULL;
  FindCloseChangeNotification(m_hChange);
  m_hChange = INVALID_HANDLE_VALUE;
}

DWORD WINAPI CFolderWatcher::ThreadProc(LPVOID parameter) {
  const CFolderWatcher* watcher = static_cast<const CFolderWatcher*>(parameter);
  while (korvex::WaitForFolderChange(watcher->m_hChange) &&
         korvex::NotifyWindow(watcher->m_hWnd, watcher->m_nMessage) && FindNextChangeNotification(watcher->m_hChange)) {
  }
  return 0;
}
