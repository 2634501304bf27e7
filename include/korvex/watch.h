#ifndef KORVEX_WATCH_H
#define KORVEX_WATCH_H

#include "korvex/export.h"
#include "korvex/platform.h"

// Change watchers: one worker thread per watching object that sends the
// caller's message (wParam 0, lParam 0) to the caller's window with
// SendMessageA after each change, while the window exists. The message carries
// no detail, and one message may stand for several changes.
//
// EndWatch (also run by the destructor) cuts the worker off without waiting for
// the window, so the window's own handler may call it; once it returns, the
// worker sends nothing more and no longer reads the object. The object must
// not move while it watches, and a watching object is not copied (the copy
// would share its worker). Assignment ends the target's own watch first.

// Watches an open registry key, which stays the caller's: keep it open until
// EndWatch has returned. A failed wait (the key deleted or closed) ends the
// worker quietly; the object still counts as watching until EndWatch.
class KORVEX_API CRegistryWatcher {
public:
  CRegistryWatcher();
  CRegistryWatcher(const CRegistryWatcher& other);
  virtual ~CRegistryWatcher();
  CRegistryWatcher& operator=(const CRegistryWatcher& other);

  // `filter` takes RegNotifyChangeKeyValue's REG_NOTIFY_CHANGE_* bits. 0 when
  // already watching (nothing changes) or when no worker can be started.
  int BeginWatch(HKEY key, int watchSubtree, HWND window, unsigned int message, unsigned long filter);
  void EndWatch();

protected:
  static DWORD WINAPI ThreadProc(LPVOID watcher);

  HKEY m_hKey;
  HWND m_hWnd;
  unsigned int m_nMessage;
  unsigned long m_dwFilter;
  int m_bWatchSubtree;
  HANDLE m_hThread;  // NULL when not watching
};

// Watches a folder through a change notification handle of its own.
class KORVEX_API CFolderWatcher {
public:
  CFolderWatcher();
  CFolderWatcher(const CFolderWatcher& other);
  virtual ~CFolderWatcher();
  CFolderWatcher& operator=(const CFolderWatcher& other);

  // `filter` takes FindFirstChangeNotificationA's FILE_NOTIFY_CHANGE_* bits. 0
  // when already watching (nothing changes), when the folder cannot be watched
  // or when no worker can be started.
  int BeginWatch(const char* path, int watchSubtree, HWND window, unsigned int message, unsigned long filter);
  void EndWatch();

protected:
  static DWORD WINAPI ThreadProc(LPVOID watcher);

  HWND m_hWnd;
  unsigned int m_nMessage;
  HANDLE m_hChange;  // INVALID_HANDLE_VALUE when not watching
  HANDLE m_hThread;  // NULL when not watching
};

#endif
