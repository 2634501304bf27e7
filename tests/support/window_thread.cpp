#include "tests/support/window_thread.h"

#include <gtest/gtest.h>

#include <cstdio>

HWND CreateTestWindow(WNDPROC procedure) {
  char name[64];
  snprintf(name, sizeof name, "korvex-test-%p", reinterpret_cast<void*>(procedure));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  if (!GetClassInfoA(instance, name, &windowClass)) {
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    EXPECT_NE(0, RegisterClassA(&windowClass));
  }
  return CreateWindowExA(0, name, "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}

testing::AssertionResult TerminatesOnceReady(LPTHREAD_START_ROUTINE routine, void* parameter, HANDLE ready,
                                             DWORD code) {
  HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
  if (!thread) return testing::AssertionFailure() << "no thread";
  DWORD ended = 0;
  const char* failure = WaitForSingleObject(ready, kDeadlineMs) != WAIT_OBJECT_0    ? "never got ready"
                        : !TerminateThread(thread, code)                            ? "TerminateThread failed"
                        : WaitForSingleObject(thread, kDeadlineMs) != WAIT_OBJECT_0 ? "still running"
                        : !GetExitCodeThread(thread, &ended) || ended != code       ? "wrong exit code"
                                                                                    : nullptr;
  CloseHandle(thread);
  return failure ? testing::AssertionFailure() << failure : testing::AssertionSuccess();
}
