#ifndef KORVEX_PLATFORM_POSIX_WINDOWING_WINDOW_TABLE_H
#define KORVEX_PLATFORM_POSIX_WINDOWING_WINDOW_TABLE_H

// Registered window classes and live windows. Everything here needs LayerLock().
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/sync/thread_context.h"

namespace korvex {
namespace posix {

struct WindowClass {
  ATOM atom;
  std::string name;  // as registered
  WNDCLASSA info;    // lpszClassName points into name; no menu name is kept
  int windows = 0;
};

struct Window {
  HWND handle;
  std::shared_ptr<WindowClass> windowClass;
  std::weak_ptr<ThreadContext> owner;
  DWORD ownerId;
  bool destroying = false;
};

// A class by name (or atom) and instance; a class of another instance with the
// name when none matches exactly, as the class is then unambiguous enough.
std::shared_ptr<WindowClass> FindClass(LPCSTR name, HINSTANCE instance, bool exactInstance);
void AddClass(std::shared_ptr<WindowClass> windowClass);
void RemoveClass(const WindowClass& windowClass);

HWND AddWindow(std::shared_ptr<Window> window);
// A live window, or null.
std::shared_ptr<Window> FindWindow(HWND handle);
void RemoveWindow(HWND handle);
// Removes the thread's windows from the table; the caller drops them without the lock.
std::vector<std::shared_ptr<Window>> TakeWindowsOf(const ThreadContext& owner);

// Calls the window's procedure on this thread (0 for a window that is gone).
// Takes the lock itself, so must be called without it.
LRESULT CallWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace posix
}  // namespace korvex

#endif
