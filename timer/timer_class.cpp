#include "timer/timer_class.h"

namespace korvex {

const char kTimerClassName[] = "KORVEX::TIMERWND";

bool EnsureTimerClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, kTimerClassName, &existing)) {
    if (existing.lpfnWndProc == procedure) return true;
    if (!UnregisterClassA(kTimerClassName, instance)) return false;
  }
  WNDCLASSA timerClass = {};
  timerClass.lpfnWndProc = procedure;
  timerClass.hInstance = instance;
  timerClass.lpszClassName = kTimerClassName;
  return RegisterClassA(&timerClass) != 0;
}

}  // namespace korvex
