#ifndef KORVEX_TIMER_TIMER_CLASS_H
#define KORVEX_TIMER_TIMER_CLASS_H

#include "korvex/platform.h"

namespace korvex {

extern const char kTimerClassName[];

// Makes the timer window class, under `instance`, use `procedure`. The class
// outlives any copy of the library that registered it, so a registration with
// another procedure (a copy since unloaded, perhaps) is replaced; while windows
// still use it, that cannot be done and the result is false.
bool EnsureTimerClass(HINSTANCE instance, WNDPROC procedure);

}  // namespace korvex

#endif
