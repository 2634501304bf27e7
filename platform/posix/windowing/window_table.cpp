#include "platform/posix/windowing/window_table.h"

#include <strings.h>

#include <algorithm>
#include <unordered_map>

namespace korvex {
namespace posix {
namespace {

// Never destroyed, like LayerLock(): threads may end after static destruction.
std::vector<std::shared_ptr<WindowClass>>& Classes() {
  static auto* classes = new std::vector<std::shared_ptr<WindowClass>>;
  return *classes;
}

std::unordered_map<HWND, std::shared_ptr<Window>>& Windows() {
  static auto* windows = new std::unordered_map<HWND, std::shared_ptr<Window>>;
  return *windows;
}

bool Names(const WindowClass& windowClass, LPCSTR name) {
  if (IS_INTRESOURCE(name)) return windowClass.atom == ATOM(uintptr_t(name));
  return strcasecmp(windowClass.name.c_str(), name) == 0;
}

}  // namespace

std::shared_ptr<WindowClass> FindClass(LPCSTR name, HINSTANCE instance, bool exactInstance) {
  if (!name) return nullptr;
  std::shared_ptr<WindowClass> sameName;
  for (auto& windowClass : Classes()) {
    if (!Names(*windowClass, name)) continue;
    if (windowClass->info.hInstance == instance) return windowClass;
    sameName = windowClass;
  }
  return exactInstance ? nullptr : sameName;
}

void AddClass(std::shared_ptr<WindowClass> windowClass) { Classes().push_back(std::move(windowClass)); }

void RemoveClass(const WindowClass& windowClass) {
  auto& classes = Classes();
  classes.erase(std::remove_if(classes.begin(), classes.end(),
                               [&](const std::shared_ptr<WindowClass>& c) { return c.get() == &windowClass; }),
                classes.end());
}

HWND AddWindow(std::shared_ptr<Window> window) {
  // Counted, never reused: a stale handle stays invalid.
  static uintptr_t next = 0x10000;
  next += 4;
  window->handle = reinterpret_cast<HWND>(next);
  window->windowClass->windows++;
  Windows()[window->handle] = window;
  return window->handle;
}

std::shared_ptr<Window> FindWindow(HWND handle) {
  auto found = Windows().find(handle);
  return found == Windows().end() ? nullptr : found->second;
}

void RemoveWindow(HWND handle) {
  auto found = Windows().find(handle);
  if (found == Windows().end()) return;
  found->second->windowClass->windows--;
  Windows().erase(found);
}

std::vector<std::shared_ptr<Window>> TakeWindowsOf(const ThreadContext& owner) {
  std::vector<std::shared_ptr<Window>> taken;
  for (auto& entry : Windows())
    if (entry.second->ownerId == owner.id) taken.push_back(entry.second);
  for (auto& window : taken) RemoveWindow(window->handle);
  return taken;
}

LRESULT CallWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC procedure = nullptr;
  {
    std::lock_guard<std::mutex> lock(LayerLock());
    auto window = FindWindow(handle);
    if (window) procedure = window->windowClass->info.lpfnWndProc;
  }
  return procedure ? procedure(handle, message, wParam, lParam) : 0;
}

}  // namespace posix
}  // namespace korvex
