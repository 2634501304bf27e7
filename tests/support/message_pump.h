#ifndef KORVEX_TESTS_SUPPORT_MESSAGE_PUMP_H
#define KORVEX_TESTS_SUPPORT_MESSAGE_PUMP_H

#include <chrono>
#include <functional>

// Runs this thread's message loop until `done` holds or `limit` has passed;
// returns done(). Sent messages are handled while it waits.
bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

#endif
