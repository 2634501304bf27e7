#ifndef KORVEX_REGISTRY_WATCH_THREAD_H
#define KORVEX_REGISTRY_WATCH_THREAD_H

#include "korvex/platform.h"

// The worker of a watcher: `procedure` with `watcher`, already running when
// this returns. NULL when no thread can be made.
HANDLE StartWatchThread(LPTHREAD_START_ROUTINE procedure, LPVOID watcher);

// Cuts the worker off wherever it is, without waiting for any window, and
// returns once it has stopped; then closes its handle.
void StopWatchThread(HANDLE thread);

// The change message: wParam 0, lParam 0, only while the window exists.
void NotifyWindow(HWND window, UINT message);

#endif
