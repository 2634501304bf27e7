#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "korvex/timer.h"
#include "tests/support/message_pump.h"

namespace {

typedef std::pair<CTimer*, unsigned int> Call;
typedef std::set<Call> Heard;

class Recorder : public CTimerListener {
public:
  void OnTimer(CTimer* timer, unsigned int id) override {
    calls.push_back({timer, id});
    if (then) then(timer, id);
  }
  Heard heard() const { return Heard(calls.begin(), calls.end()); }
  std::vector<Call> calls;
  std::function<void(CTimer*, unsigned int)> then;
};

bool WaitForCalls(const Recorder& listener, size_t count) {
  return PumpMessagesUntil([&] { return listener.calls.size() >= count; });
}

// Long enough for a timer that still runs to be heard: a busy one fires 8 times.
void ExpectSilence(const Recorder& quiet) {
  size_t before = quiet.calls.size();
  Recorder busy;
  CTimer witness(&busy);
  ASSERT_EQ(1, witness.Start(99, 10));
  ASSERT_TRUE(WaitForCalls(busy, 8));
  EXPECT_EQ(before, quiet.calls.size());
}

}  // namespace

// A timer without a listener keeps running silently until one is set.
TEST(CTimer, EachObjectCallsItsOwnListenerWithItselfAndTheIdentifierOrNoneAtAll) {
  Recorder first, second, late;
  CTimer a(&first), b(&second), silent;
  // Stopping a timer never started succeeds as well.
  ASSERT_EQ(5, a.Start(1, 10) + b.Start(1, 10) + b.Start(7, 10) + silent.Start(3, 10) + a.Start(9, 0));
  EXPECT_EQ(nullptr, silent.SetListener(&late));
  ASSERT_TRUE(PumpMessagesUntil([&] { return first.calls.size() >= 3 && second.calls.size() >= 6; }));
  EXPECT_EQ(first.heard(), (Heard{{&a, 1}}));
  EXPECT_EQ(second.heard(), (Heard{{&b, 1}, {&b, 7}}));
  EXPECT_EQ(&late, silent.SetListener(nullptr));
  late.calls.clear();
  ExpectSilence(late);
  EXPECT_EQ(nullptr, silent.SetListener(&late));
  EXPECT_TRUE(WaitForCalls(late, 1));
  EXPECT_EQ(late.heard(), (Heard{{&silent, 3}}));
}

// Every way of ending a timer, from inside its first call, ends both of the
// object's timers for good.
TEST(CTimer, EveryWayOfStoppingSilencesIt) {
  const std::function<void(CTimer*, unsigned int)> ways[] = {
      [](CTimer* timer, unsigned int) { EXPECT_EQ(2, timer->Start(4, 0) + timer->Start(5, 0)); },
      [](CTimer* timer, unsigned int) { timer->Stop(4), timer->Stop(5); },
      [](CTimer* timer, unsigned int) { delete timer; },
  };
  for (size_t way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    Recorder listener;
    listener.then = ways[way];
    CTimer* timer = new CTimer(&listener);
    ASSERT_EQ(2, timer->Start(4, 10) + timer->Start(5, 10));
    ASSERT_TRUE(WaitForCalls(listener, 1));
    ExpectSilence(listener);
    EXPECT_EQ(1u, listener.calls.size());
    if (way != 2) delete timer;
  }
}

// An assigned timer first gives up its own window and its timers.
TEST(CTimer, ACopyOrAssignmentStartsTimersOfTheOriginalAndLeavesItsWindowAlone) {
  Recorder listener, other;
  CTimer original(&listener);
  {
    CTimer copy(original), assigned(&other);
    ASSERT_EQ(1, assigned.Start(8, 10));
    assigned = original;
    ASSERT_EQ(1, copy.Start(6, 10));
    ASSERT_EQ(1, assigned.Start(7, 10));
    ASSERT_TRUE(WaitForCalls(listener, 2));
  }
  listener.calls.clear();
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener.heard().size() >= 2 && listener.calls.size() >= 4; }));
  EXPECT_EQ(listener.heard(), (Heard{{&original, 6}, {&original, 7}}));
  EXPECT_TRUE(other.calls.empty());
}

// The class lives under the executable, where a copy of the library that has
// since gone may have left it with its own procedure.
TEST(CTimer, TakesOverItsClassFromAForeignProcedureOnlyWhenNoWindowUsesIt) {
  HINSTANCE executable = GetModuleHandleA(NULL);
  WNDCLASSA foreign = {0, DefWindowProcA, 0, 0, executable, nullptr, nullptr, nullptr, nullptr, "KORVEX::TIMERWND"};
  ASSERT_TRUE(UnregisterClassA(foreign.lpszClassName, executable)) << "registered by the earlier tests";
  ASSERT_TRUE(RegisterClassA(&foreign));
  HWND user = CreateWindowExA(0, foreign.lpszClassName, "", 0, 0, 0, 0, 0, NULL, NULL, executable, NULL);
  ASSERT_TRUE(user);
  Recorder refused, served;
  {
    CTimer timer(&refused);
    EXPECT_EQ(0, timer.Start(1, 10));
    EXPECT_EQ(1, timer.Start(1, 0));
  }
  DestroyWindow(user);
  CTimer timer(&served);
  ASSERT_EQ(1, timer.Start(1, 10));
  EXPECT_TRUE(WaitForCalls(served, 1));
}
