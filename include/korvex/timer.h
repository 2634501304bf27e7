#ifndef KORVEX_TIMER_H
#define KORVEX_TIMER_H

/// @file
/// Window timers that call back a listener.
#include "korvex/export.h"
#include "korvex/platform.h"

class CTimer;

/// @defgroup timer Window timers
/// Window-message timers on the caller's thread that call back a listener
/// object from the thread's message loop.
/// @{

/// Called on the thread that created the CTimer, from its message loop.
class KORVEX_API CTimerListener {
public:
  /// The interface has no state.
  CTimerListener();
  /// Nothing to copy.
  CTimerListener(const CTimerListener& other);
  /// Nothing to copy.
  CTimerListener& operator=(const CTimerListener& other);

  /// `id` is the identifier given to CTimer::Start. The listener may start,
  /// stop or destroy `timer` from here.
  virtual void OnTimer(CTimer* timer, unsigned int id) = 0;
};

/// Window-message timers on the calling thread: one hidden window of the class
/// "KORVEX::TIMERWND" per object, any number of identifiers on it. The object
/// must be destroyed on the thread that created it, and timers of several
/// threads must not be created, destroyed or dispatched at the same time (they
/// share one unlocked table).
///
/// A timer that has a window is not copied: the copy is not the one its window
/// reports to. Assignment first gives up the window the target owns.
class KORVEX_API CTimer {
public:
  /// Creates the timer window on the calling thread (none when the platform
  /// refuses: Start then gives 0) and reports to `listener`.
  CTimer(CTimerListener* listener = NULL);
  /// Shares the source's window and listener; see the class notes.
  CTimer(const CTimer& other);
  /// Gives up the window this object owns, with its timers.
  virtual ~CTimer();
  /// See the class notes.
  CTimer& operator=(const CTimer& other);

  /// The listener that was set before; NULL means no calls.
  CTimerListener* SetListener(CTimerListener* listener);
  /// Starts or restarts timer `id` every `elapse` ms; 0 stops it (and returns
  /// 1). 0 when the platform refuses, or when this object has no window.
  int Start(unsigned int id, unsigned int elapse);
  /// Stops timer `id`.
  void Stop(unsigned int id);

private:
  static LRESULT CALLBACK TimerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd;
  CTimerListener* m_pListener;
};

/// @}

#endif
