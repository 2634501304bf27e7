#include "tests/support/message_pump.h"

#include "korvex/platform.h"

bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // A thread timer wakes the loop, so the deadline holds when nothing comes.
  UINT_PTR tick = SetTimer(NULL, 0, 10, NULL);
  MSG message;
  while (!done() && std::chrono::steady_clock::now() < deadline && GetMessageA(&message, NULL, 0, 0) > 0)
    DispatchMessageA(&message);
  KillTimer(NULL, tick);
  return done();
}
