// APCs queued to a thread run in its alertable waits alone.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/window_thread.h"

namespace {

std::atomic<int> g_apcRuns{0};
std::atomic<DWORD> g_apcThread{0};

void CALLBACK CountApc(ULONG_PTR) {
  g_apcThread = GetCurrentThreadId();
  g_apcRuns++;
}

struct Waits {
  HANDLE waiting = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // one signal per wait begun
  HANDLE proceed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD self = 0;
  std::vector<DWORD> seen;  // each wait's result, and the APCs run by then
};

// Waits twice without and three times with alertable waits; an APC is queued
// before the first of each kind, or while it waits.
DWORD WINAPI WaitEachWay(LPVOID parameter) {
  auto* waits = static_cast<Waits*>(parameter);
  auto note = [waits](DWORD result) { waits->seen.insert(waits->seen.end(), {result, DWORD(g_apcRuns.load())}); };
  waits->self = GetCurrentThreadId();
  SetEvent(waits->waiting);
  note(WaitForSingleObject(waits->proceed, kDeadlineMs));
  note(WaitForSingleObject(waits->never, 0));  // the APC is surely queued by now
  note(SleepEx(kDeadlineMs, TRUE));
  SetEvent(waits->waiting);
  note(WaitForSingleObjectEx(waits->never, kDeadlineMs, TRUE));
  SetEvent(waits->waiting);
  note(MsgWaitForMultipleObjectsEx(1, &waits->never, kDeadlineMs, QS_ALLINPUT, MWMO_ALERTABLE));
  return 0;
}

TEST(Apc, RunsInAlertableWaitsAlone) {
  Waits waits;
  {
    TestThread thread(WaitEachWay, &waits);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(waits.waiting, kDeadlineMs));
      ASSERT_NE(0u, QueueUserAPC(CountApc, thread.handle(), 0));
      if (i == 0) SetEvent(waits.proceed);
    }
    EXPECT_TRUE(thread.Join());
  }
  EXPECT_EQ((std::vector<DWORD>{WAIT_OBJECT_0, 0, WAIT_TIMEOUT, 0, WAIT_IO_COMPLETION, 1, WAIT_IO_COMPLETION, 2,
                                WAIT_IO_COMPLETION, 3}),
            waits.seen);
  EXPECT_EQ(waits.self, g_apcThread.load());
  for (HANDLE event : {waits.waiting, waits.proceed, waits.never}) CloseHandle(event);
}

}  // namespace
