#include <algorithm>

#include "korvex/platform.h"
#include "platform/posix/windowing/thread_messages.h"
#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

namespace {

// Nothing queued for a window outlives it.
void ForgetQueued(ThreadContext& owner, HWND window) {
  ThreadMessages& queue = MessagesOf(owner);
  queue.posted.erase(
      std::remove_if(queue.posted.begin(), queue.posted.end(), [&](const MSG& m) { return m.hwnd == window; }),
      queue.posted.end());
  queue.timers.KillAllOf(window);
}

void Forget(HWND window, ThreadContext& owner) {
  std::lock_guard<std::mutex> lock(LayerLock());
  ForgetQueued(owner, window);
  RemoveWindow(window);
}

}  // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto thread = CurrentThread();
  HWND handle;
  std::shared_ptr<WindowClass> windowClass;
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    windowClass = FindClass(className, instance, false);
    if (!windowClass) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    // As in Win32, a thread's first window gives it a queue, which takes its
    // windows away when the thread ends.
    MessagesOf(*thread);
    auto window = std::make_shared<Window>();
    window->windowClass = windowClass;
    window->owner = thread;
    window->ownerId = thread->id;
    handle = AddWindow(window);
  }
  CREATESTRUCTA create{
      param, instance, menu, parent, height, width, y, x, LONG(style), windowName, windowClass->name.c_str(), exStyle};
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!CallWindow(handle, WM_NCCREATE, 0, createParam)) {
    Forget(handle, *thread);
    return nullptr;
  }
  if (CallWindow(handle, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  auto thread = CurrentThread();
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    auto window = FindWindow(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (window->ownerId != thread->id) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    ForgetQueued(*thread, handle);
  }
  CallWindow(handle, WM_DESTROY, 0, 0);
  CallWindow(handle, WM_NCDESTROY, 0, 0);
  Forget(handle, *thread);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  std::lock_guard<std::mutex> lock(LayerLock());
  return FindWindow(handle) != nullptr;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}
