#ifndef KORVEX_TESTS_SUPPORT_WINDOW_THREAD_H
#define KORVEX_TESTS_SUPPORT_WINDOW_THREAD_H

// Windows and threads for tests, in Win32 calls only.
#include <gtest/gtest.h>

#include "korvex/platform.h"

// Long enough for a loaded two-core machine; a test that reaches it has hung.
constexpr DWORD kDeadlineMs = 10000;

// A window of a class made for the procedure, owned by the calling thread.
HWND CreateTestWindow(WNDPROC procedure);

// Starts a thread; the destructor checks that it ended within the deadline.
class TestThread {
public:
  TestThread(LPTHREAD_START_ROUTINE routine, void* parameter)
      : handle_(CreateThread(nullptr, 0, routine, parameter, 0, nullptr)) {
    EXPECT_NE(nullptr, handle_);
  }
  TestThread(const TestThread&) = delete;
  ~TestThread() {
    EXPECT_TRUE(Join());
    CloseHandle(handle_);
  }
  bool Join() { return WaitForSingleObject(handle_, kDeadlineMs) == WAIT_OBJECT_0; }
  HANDLE handle() const { return handle_; }

private:
  HANDLE handle_;
};

#endif
