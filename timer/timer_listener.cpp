#include "korvex/timer.h"

// An interface without data: construction and copying have nothing to do.
CTimerListener::CTimerListener() {}

CTimerListener::CTimerListener(const CTimerListener&) {}

CTimerListener& CTimerListener::operator=(const CTimerListener&) { return *this; }
