#include "tests/support/window_thread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

HWND CreateTestWindow(WNDPROC procedure) {
  char name[64];
  snprintf(name, sizeof name, "korvex-test-%p", reinterpret_cast<void*>(procedure));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  {
    // Threads that make windows of one procedure at once register its class once.
    static std::mutex registering;
    std::lock_guard<std::mutex> lock(registering);
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(instance, name, &windowClass)) {
      windowClass.lpfnWndProc = procedure;
      windowClass.hInstance = instance;
      windowClass.lpszClassName = name;
      EXPECT_NE(0, RegisterClassA(&windowClass));
    }
  }
  return CreateWindowExA(0, name, "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}
