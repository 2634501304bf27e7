#include "korvex/timer.h"

#include "korvex/types.h"
#include "timer/timer_class.h"

namespace {

// The CTimer that owns each timer window. An entry maps a window to a timer
// only while that timer's m_hWnd is the window, so no entry outlives its
// object and copies are never listed.
CMap<HWND, CTimer*> g_timers;

CTimer* OwnerOf(HWND window) {
  CTimer* const* owner = g_timers.PLookup(window);
  return owner ? *owner : NULL;
}

// Only the listed owner destroys a window: a copy lets go of it untouched.
void GiveUpWindow(const CTimer* timer, HWND window) {
  if (!window || OwnerOf(window) != timer) return;
  g_timers.RemoveKey(window);
  DestroyWindow(window);  // ends every timer still running on it
}

}  // namespace

CTimer::CTimer(CTimerListener* listener) : m_hWnd(NULL), m_pListener(listener) {
  HINSTANCE instance = GetModuleHandleA(NULL);
  if (!korvex::EnsureTimerClass(instance, &TimerProc)) return;
  m_hWnd = CreateWindowExA(0, korvex::kTimerClassName, "", 0, 0, 0, 0, 0, NULL, NULL, instance, NULL);
  if (!m_hWnd) return;
  CTimer*& entry = g_timers[m_hWnd];
  // Still listed: the window under this handle went away without a word (its
  // thread ended), so its old owner must not act on the handle any more.
  if (entry) entry->m_hWnd = NULL;
  entry = this;
}

CTimer::CTimer(const CTimer& other) : m_hWnd(other.m_hWnd), m_pListener(other.m_pListener) {}

CTimer::~CTimer() { GiveUpWindow(this, m_hWnd); }

CTimer& CTimer::operator=(const CTimer& other) {
  if (m_hWnd != other.m_hWnd) {
    GiveUpWindow(this, m_hWnd);
    m_hWnd = other.m_hWnd;
  }
  m_pListener = other.m_pListener;
  return *this;
}

CTimerListener* CTimer::SetListener(CTimerListener* listener) {
  CTimerListener* previous = m_pListener;
  m_pListener = listener;
  return previous;
}

int CTimer::Start(unsigned int id, unsigned int elapse) {
  if (elapse == 0) {
    Stop(id);
    return 1;
  }
  // Without a window the platform would make a thread timer nobody hears.
  if (!m_hWnd) return 0;
  return SetTimer(m_hWnd, id, elapse, NULL) != 0 ? 1 : 0;
}

void CTimer::Stop(unsigned int id) {
  if (m_hWnd) KillTimer(m_hWnd, id);
}

LRESULT CALLBACK CTimer::TimerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    if (CTimer* timer = OwnerOf(window)) {
      // The listener may destroy the timer: nothing of it is touched after the call.
      if (CTimerListener* listener = timer->m_pListener) listener->OnTimer(timer, static_cast<unsigned int>(wParam));
      return 0;
    }
  } else if (message == WM_DESTROY) {
    // Destroyed by someone else: its owner forgets the handle.
    if (CTimer* timer = OwnerOf(window)) {
      timer->m_hWnd = NULL;
      g_timers.RemoveKey(window);
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
