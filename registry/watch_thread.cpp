#include "registry/watch_thread.h"

namespace korvex {
namespace {

struct WorkerStart {
  LPTHREAD_START_ROUTINE procedure;
  LPVOID watcher;
  HANDLE running;
};

DWORD WINAPI RunWorker(LPVOID parameter) {
  WorkerStart start = *static_cast<const WorkerStart*>(parameter);
  SetEvent(start.running);  // the starter's record is gone from here on
  return start.procedure(start.watcher);
}

}  // namespace

// A thread cut off before it reaches its procedure may still be inside the
// platform's start-up code, holding what the whole process then waits for; so
// nobody gets the handle before the worker runs.
HANDLE StartWatchThread(LPTHREAD_START_ROUTINE procedure, LPVOID watcher) {
  WorkerStart start = {procedure, watcher, CreateEventA(NULL, TRUE, FALSE, NULL)};
  if (!start.running) return NULL;
  HANDLE thread = CreateThread(NULL, 0, &RunWorker, &start, 0, NULL);
  if (thread) {
    HANDLE either[2] = {start.running, thread};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
  }
  CloseHandle(start.running);
  return thread;
}

// A thread cut off by TerminateThread may hold a lock of the system's (the
// window manager's, the heap's) that the whole process then waits for. So the
// worker blocks only in alertable waits, and a stop request is an APC that
// ends whichever wait it is in.
namespace {

void CALLBACK WakeToStop(ULONG_PTR) {}

void CALLBACK MarkHandled(HWND, UINT, ULONG_PTR handled, LRESULT) { *reinterpret_cast<bool*>(handled) = true; }

}  // namespace

void StopWatchThread(HANDLE thread) {
  if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
    QueueUserAPC(&WakeToStop, thread, 0);
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
}

// The event is signalled for a key deleted or closed during the wait too,
// where the blocking form of the wait fails: the key is asked again so that
// this fails as well.
LONG WaitForKeyChange(HKEY key, BOOL watchSubtree, DWORD filter) {
  HANDLE changed = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (!changed) return static_cast<LONG>(GetLastError());
  LONG result = RegNotifyChangeKeyValue(key, watchSubtree, filter, changed, TRUE);
  if (result == ERROR_SUCCESS) {
    if (WaitForSingleObjectEx(changed, INFINITE, TRUE) == WAIT_OBJECT_0)
      result = RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    else
      result = ERROR_OPERATION_ABORTED;
  }
  CloseHandle(changed);
  return result;
}

BOOL WaitForFolderChange(HANDLE change) { return WaitForSingleObjectEx(change, INFINITE, TRUE) == WAIT_OBJECT_0; }

// SendMessageA would block unalertably until the window has handled the
// message: the reply comes back as a callback instead, while the worker waits.
BOOL NotifyWindow(HWND window, UINT message) {
  bool handled = false;
  if (!IsWindow(window) ||
      !SendMessageCallbackA(window, message, 0, 0, &MarkHandled, reinterpret_cast<ULONG_PTR>(&handled)))
    return TRUE;
  for (;;) {
    MSG pending;
    PeekMessageA(&pending, NULL, 0, 0, PM_NOREMOVE);  // runs the callback once the reply is in
    if (handled) return TRUE;
    if (MsgWaitForMultipleObjectsEx(0, NULL, INFINITE, QS_ALLINPUT, MWMO_ALERTABLE) == WAIT_IO_COMPLETION) return FALSE;
  }
}

}  // namespace korvex
