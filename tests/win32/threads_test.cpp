// Threads, events, waits and TerminateThread, through the Win32 calls alone.
#include <gtest/gtest.h>

#include <chrono>

#include "korvex/platform.h"
#include "tests/support/window_thread.h"

namespace {

HANDLE NewEvent(bool manualReset, bool signalled) { return CreateEventA(nullptr, manualReset, signalled, nullptr); }

TEST(Event, ResetModes) {
  struct Case {
    const char* name;
    bool manualReset, initial, set, reset;  // SetEvent, then ResetEvent, before the waits
    DWORD first, second;
  } cases[] = {
      {"manual stays set", true, false, true, false, WAIT_OBJECT_0, WAIT_OBJECT_0},
      {"auto resets on a wait", false, false, true, false, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"initially set, auto", false, true, false, false, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"reset after set", true, true, true, true, WAIT_TIMEOUT, WAIT_TIMEOUT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE event = NewEvent(c.manualReset, c.initial);
    ASSERT_NE(nullptr, event);
    EXPECT_TRUE((!c.set || SetEvent(event)) && (!c.reset || ResetEvent(event)));
    EXPECT_EQ(c.first, WaitForSingleObject(event, 0));
    EXPECT_EQ(c.second, WaitForSingleObject(event, 0));
    EXPECT_TRUE(CloseHandle(event));
  }
}

TEST(Wait, MultipleObjectsAnyAndAllAndTimeouts) {
  HANDLE events[3] = {NewEvent(false, false), NewEvent(false, true), NewEvent(false, true)};
  // Any: the lowest signalled index, and only that one is consumed.
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, events, FALSE, 0));
  EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, events, FALSE, 0));
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForMultipleObjects(3, events, FALSE, 0));
  // All: nothing is consumed until every one is signalled at once.
  SetEvent(events[1]);
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events[1], 0));
  for (HANDLE event : events) SetEvent(event);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForMultipleObjects(3, events, FALSE, 0));
  // A timeout is not cut short.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(events[0], 50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));

  // A closed handle is invalid (both made first: Win32 reuses the value of a closed handle).
  ASSERT_TRUE(CloseHandle(events[2]));
  EXPECT_TRUE(!CloseHandle(events[2]) && GetLastError() == ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(events[2]));
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(3, events, FALSE, 0));
  CloseHandle(events[0]);
  CloseHandle(events[1]);
}

struct Blocked {
  int kind = 0;  // where the thread waits when TerminateThread comes
  HANDLE ready = NewEvent(true, false), never = NewEvent(true, false);
  HANDLE self = nullptr;  // kind 0: the thread ends itself once woken
  HWND deaf = nullptr;    // a window whose thread handles no messages
  ~Blocked() { CloseHandle(ready), CloseHandle(never); }
};

DWORD WINAPI BlockIn(LPVOID parameter) {
  auto* blocked = static_cast<Blocked*>(parameter);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  SetEvent(blocked->ready);
  HANDLE both[2] = {blocked->never, blocked->never};
  if (blocked->kind == 0) {
    DWORD waited = WaitForSingleObject(blocked->never, INFINITE);
    if (blocked->self) TerminateThread(blocked->self, 7);
    return waited + 0x1234;
  }
  if (blocked->kind == 1) WaitForMultipleObjects(2, both, FALSE, INFINITE);
  if (blocked->kind == 2) GetMessageA(&msg, nullptr, 0, 0);
  if (blocked->kind == 3) SendMessageA(blocked->deaf, WM_USER, 0, 0);
  return 5;
}

DWORD WINAPI OwnWindowAndIgnoreIt(LPVOID parameter) {
  auto* deaf = static_cast<Blocked*>(parameter);
  deaf->deaf = CreateTestWindow(DefWindowProcA);
  SetEvent(deaf->ready);
  WaitForSingleObject(deaf->never, INFINITE);
  DestroyWindow(deaf->deaf);
  return 0;
}

// Woken, the thread returns, or terminates itself, with its exit code.
TEST(Thread, RunsWakesAndReportsItsExitCode) {
  for (bool endsItself : {false, true}) {
    SCOPED_TRACE(endsItself);
    Blocked gate;
    DWORD id = 0, running = 0, code = 0;
    HANDLE thread = CreateThread(nullptr, 0, BlockIn, &gate, 0, &id);
    ASSERT_NE(nullptr, thread);
    if (endsItself) gate.self = thread;
    EXPECT_NE(GetCurrentThreadId(), id);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gate.ready, kDeadlineMs));
    EXPECT_TRUE(GetExitCodeThread(thread, &running) && running == STILL_ACTIVE);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(thread, 0));
    SetEvent(gate.never);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kDeadlineMs));
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(endsItself ? 7u : WAIT_OBJECT_0 + 0x1234u, code);
    EXPECT_TRUE(CloseHandle(thread));
  }
}

TEST(TerminateThread, EndsEveryKindOfBlockingCall) {
  // The window's thread never handles the message, so terminating the sender
  // must not wait for it.
  Blocked deaf;
  TestThread deafThread(OwnWindowAndIgnoreIt, &deaf);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(deaf.ready, kDeadlineMs));
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    Blocked blocked;
    blocked.kind = kind;
    blocked.deaf = deaf.deaf;
    EXPECT_TRUE(TerminatesOnceReady(BlockIn, &blocked, blocked.ready, 42));
  }
  SetEvent(deaf.never);
}

}  // namespace
