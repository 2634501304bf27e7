#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "korvex/timer.h"
#include "tests/support/message_pump.h"

namespace {

struct Call {
  CTimer* timer;
  unsigned int id;
};

class Recorder : public CTimerListener {
 public:
  void OnTimer(CTimer* timer, unsigned int id) override {
    calls.push_back({timer, id});
    if (then) then(timer, id);
  }
  std::vector<Call> calls;
  std::function<void(CTimer*, unsigned int)> then;
};

bool WaitForCalls(const Recorder& listener, size_t count) {
  return PumpMessagesUntil([&] { return listener.calls.size() >= count; });
}

// Waits while a busy timer of the same period fires several times: long
// enough for a timer that still runs to be heard.
void ExpectSilence(const Recorder& quiet) {
  size_t before = quiet.calls.size();
  Recorder busy;
  CTimer witness(&busy);
  ASSERT_EQ(1, witness.Start(99, 10));
  ASSERT_TRUE(WaitForCalls(busy, 8));
  EXPECT_EQ(before, quiet.calls.size());
}

}  // namespace

TEST(CTimer, PeriodZeroStopsARunningOrStoppedTimerAndSucceeds) {
  for (bool running : {true, false}) {
    SCOPED_TRACE(running ? "running" : "stopped");
    Recorder listener;
    CTimer timer(&listener);
    if (running) {
      ASSERT_EQ(1, timer.Start(5, 10));
      ASSERT_TRUE(WaitForCalls(listener, 1));
    }
    EXPECT_EQ(1, timer.Start(5, 0));
    ExpectSilence(listener);
  }
}

TEST(CTimer, EachObjectCallsItsOwnListenerWithItselfAndTheIdentifier) {
  Recorder first, second;
  CTimer a(&first), b(&second);
  ASSERT_EQ(1, a.Start(1, 10));
  ASSERT_EQ(1, b.Start(1, 10));
  ASSERT_EQ(1, b.Start(7, 10));
  ASSERT_TRUE(PumpMessagesUntil([&] { return first.calls.size() >= 3 && second.calls.size() >= 6; }));
  bool sawSeven = false;
  for (const Call& call : first.calls) EXPECT_TRUE(call.timer == &a && call.id == 1);
  for (const Call& call : second.calls) {
    EXPECT_TRUE(call.timer == &b && (call.id == 1 || call.id == 7));
    sawSeven |= call.id == 7;
  }
  EXPECT_TRUE(sawSeven);

  b.Stop(7);
  second.calls.clear();
  ASSERT_TRUE(WaitForCalls(second, 4));
  for (const Call& call : second.calls) EXPECT_EQ(1u, call.id);
}

TEST(CTimer, RunsSilentlyWithoutAListenerUntilOneIsSet) {
  Recorder first, second;
  CTimer timer;
  ASSERT_EQ(1, timer.Start(3, 10));
  EXPECT_EQ(nullptr, timer.SetListener(&first));
  ASSERT_TRUE(WaitForCalls(first, 1));
  EXPECT_EQ(&first, timer.SetListener(nullptr));
  ExpectSilence(first);
  EXPECT_EQ(nullptr, timer.SetListener(&second));
  EXPECT_TRUE(WaitForCalls(second, 1));
}

TEST(CTimer, NoCallsAfterDestruction) {
  Recorder listener;
  auto timer = std::make_unique<CTimer>(&listener);
  ASSERT_EQ(1, timer->Start(1, 10));
  ASSERT_EQ(1, timer->Start(2, 10));
  ASSERT_TRUE(WaitForCalls(listener, 1));
  timer.reset();
  ExpectSilence(listener);
}

// The listener acts on its own timer from inside OnTimer: exactly one call.
TEST(CTimer, ListenerMayStopOrDestroyItsTimerFromOnTimer) {
  const std::function<void(CTimer*, unsigned int)> actions[] = {
      [](CTimer* timer, unsigned int) { delete timer; },
      [](CTimer* timer, unsigned int id) { timer->Stop(id); },
      [](CTimer* timer, unsigned int id) { timer->Start(id, 0); },
  };
  for (const auto& action : actions) {
    Recorder listener;
    listener.then = action;
    CTimer* timer = new CTimer(&listener);
    ASSERT_EQ(1, timer->Start(4, 10));
    ASSERT_TRUE(WaitForCalls(listener, 1));
    ExpectSilence(listener);
    EXPECT_EQ(1u, listener.calls.size());
    if (&action != &actions[0]) delete timer;
  }
}

TEST(CTimer, ACopyStartsTimersOfTheOriginalAndLeavesItsWindowAlone) {
  Recorder listener;
  CTimer original(&listener);
  {
    CTimer copy(original);
    ASSERT_EQ(1, copy.Start(6, 10));
    ASSERT_TRUE(WaitForCalls(listener, 1));
  }
  listener.calls.clear();
  ASSERT_TRUE(WaitForCalls(listener, 2));
  for (const Call& call : listener.calls) EXPECT_TRUE(call.timer == &original && call.id == 6);
}

// The class lives under the executable, where a copy of the library that has
// since gone may have left it with its own procedure.
TEST(CTimer, TakesOverItsClassFromAForeignProcedureOnlyWhenNoWindowUsesIt) {
  HINSTANCE executable = GetModuleHandleA(NULL);
  const char* name = "KORVEX::TIMERWND";
  WNDCLASSA info;
  ASSERT_TRUE(GetClassInfoA(executable, name, &info)) << "registered by the earlier tests";
  ASSERT_TRUE(UnregisterClassA(name, executable));
  WNDCLASSA foreign = {};
  foreign.lpfnWndProc = DefWindowProcA;
  foreign.hInstance = executable;
  foreign.lpszClassName = name;
  ASSERT_TRUE(RegisterClassA(&foreign));
  HWND user = CreateWindowExA(0, name, "", 0, 0, 0, 0, 0, NULL, NULL, executable, NULL);
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
