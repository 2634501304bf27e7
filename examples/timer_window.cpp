// A window with a CTimer: the listener counts three ticks, then closes the
// window, whose end stops the message loop.
#include <korvex/korvex.h>
#include <stdio.h>

class Ticker : public CTimerListener {
public:
  explicit Ticker(HWND window) : m_hWnd(window), m_nTicks(0) {}

  void OnTimer(CTimer* timer, unsigned int id) {
    printf("tick %d of timer %u\n", ++m_nTicks, id);
    if (m_nTicks < 3) return;
    timer->Stop(id);
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
  }

private:
  HWND m_hWnd;
  int m_nTicks;
};

// WM_CLOSE reaches DefWindowProcA, which destroys the window.
static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    printf("window: destroyed\n");
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int main() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "KorvexExampleTimer";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window =
      CreateWindowExA(0, windowClass.lpszClassName, "timer", 0, 0, 0, 0, 0, NULL, NULL, windowClass.hInstance, NULL);
  if (!window) return 1;

  Ticker ticker(window);
  CTimer timer(&ticker);
  if (!timer.Start(7, 100)) return 1;

  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  printf("loop: ended with %d\n", static_cast<int>(msg.wParam));
  return static_cast<int>(msg.wParam);
}
