#include "registry/watch_thread.h"

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

void StopWatchThread(HANDLE thread) {
  // A worker whose wait failed has ended already and is left alone.
  if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
    TerminateThread(thread, 0);
    // Termination may finish after the call returns; the worker must not
    // outlive EndWatch, since it reads the watcher. Its end never depends on
    // a window handling its message.
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
}

void NotifyWindow(HWND window, UINT message) {
  if (IsWindow(window)) SendMessageA(window, message, 0, 0);
}
