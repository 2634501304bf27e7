#include "tests/support/message_pump.h"

#include <algorithm>

#include "korvex/platform.h"

bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  using std::chrono::steady_clock;
  const auto deadline = steady_clock::now() + limit;
  MSG message;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) break;
    // `done` may turn without a message, so it is asked again every 10 ms; the
    // wait needs no timer of ours, so the deadline holds even when timers fail.
    MsgWaitForMultipleObjectsEx(0, NULL, static_cast<DWORD>(std::min<long long>(left, 10)), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    while (!done() && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return done();
      DispatchMessageA(&message);
    }
  }
  return done();
}
