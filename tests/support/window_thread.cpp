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

WindowThread::WindowThread(WNDPROC procedure)
    : procedure_(procedure), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = CreateThread(nullptr, 0, Loop, this, 0, &id_);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready_, kDeadlineMs));
  EXPECT_TRUE(IsWindow(window_));
}

WindowThread::~WindowThread() {
  PostThreadMessageA(id_, WM_QUIT, 0, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread_, kDeadlineMs));
  CloseHandle(thread_);
  CloseHandle(ready_);
}

DWORD WINAPI WindowThread::Loop(LPVOID parameter) {
  auto* self = static_cast<WindowThread*>(parameter);
  HWND window = CreateTestWindow(self->procedure_);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts
  self->window_ = window;
  SetEvent(self->ready_);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  DestroyWindow(window);
  return 0;
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
