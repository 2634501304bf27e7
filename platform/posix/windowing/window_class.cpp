#include "korvex/platform.h"
#include "platform/posix/windowing/window_table.h"

using namespace korvex::posix;

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
  if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName || IS_INTRESOURCE(wndClass->lpszClassName) ||
      !*wndClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(LayerLock());
  if (FindClass(wndClass->lpszClassName, wndClass->hInstance, true)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  // Atoms live in 0xC000..0xFFFF, as Win32's string atoms do.
  static ATOM next = 0xC000;
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->atom = next == 0xFFFF ? next : next++;
  windowClass->name = wndClass->lpszClassName;
  windowClass->info = *wndClass;
  windowClass->info.lpszClassName = windowClass->name.c_str();
  windowClass->info.lpszMenuName = nullptr;
  AddClass(windowClass);
  return windowClass->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto windowClass = FindClass(className, instance, true);
  if (!windowClass) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  RemoveClass(*windowClass);
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wndClass) {
  std::lock_guard<std::mutex> lock(LayerLock());
  auto windowClass = FindClass(className, instance, true);
  if (!windowClass || !wndClass) {
    SetLastError(windowClass ? ERROR_INVALID_PARAMETER : ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wndClass = windowClass->info;
  wndClass->lpszClassName = className;
  return windowClass->atom;
}
