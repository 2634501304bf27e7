#ifndef KORVEX_REGISTRY_WATCH_THREAD_H
#define KORVEX_REGISTRY_WATCH_THREAD_H

#include "korvex/platform.h"

namespace korvex {

// The worker of a watcher: `procedure` with `watcher`, already running when
// this returns. NULL when no thread can be made.
HANDLE StartWatchThread(LPTHREAD_START_ROUTINE procedure, LPVOID watcher);

// Wakes the worker wherever it waits, without waiting for any window, and
// returns once it has returned; then closes its handle.
void StopWatchThread(HANDLE thread);

// The worker's blocking calls. Once StopWatchThread has been called, each
// fails (FALSE, or an error code), so the worker ends by returning.
LONG WaitForKeyChange(HKEY key, BOOL watchSubtree, DWORD filter);
BOOL WaitForFolderChange(HANDLE change);
// The change message (wParam 0, lParam 0), only while the window exists;
// returns once the window has handled it.
BOOL NotifyWindow(HWND window, UINT message);

}  // namespace korvex

#endif
