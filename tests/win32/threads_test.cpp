// Threads, events, waits and TerminateThread, through the Win32 calls alone.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/window_thread.h"

namespace {

HANDLE NewEvent(bool manualReset, bool signalled) { return CreateEventA(nullptr, manualReset, signalled, nullptr); }

struct EventCase {
  const char* name;
  bool manualReset;
  bool initial;
  bool set;    // SetEvent before the waits
  bool reset;  // then ResetEvent
  DWORD first, second;
};

TEST(Event, ResetModes) {
  const EventCase cases[] = {
      {"manual stays set", true, false, true, false, WAIT_OBJECT_0, WAIT_OBJECT_0},
      {"auto resets on a wait", false, false, true, false, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"initially set, auto", false, true, false, false, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"reset after set", true, true, true, true, WAIT_TIMEOUT, WAIT_TIMEOUT},
      {"never set", true, false, false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE event = NewEvent(c.manualReset, c.initial);
    ASSERT_NE(nullptr, event);
    if (c.set) {
      EXPECT_TRUE(SetEvent(event));
    }
    if (c.reset) {
      EXPECT_TRUE(ResetEvent(event));
    }
    EXPECT_EQ(c.first, WaitForSingleObject(event, 0));
    EXPECT_EQ(c.second, WaitForSingleObject(event, 0));
    EXPECT_TRUE(CloseHandle(event));
  }
}

TEST(Wait, MultipleObjectsAnyAndAll) {
  HANDLE events[3] = {NewEvent(false, false), NewEvent(false, true), NewEvent(false, true)};
  // Any: the lowest signalled index, and only that one is consumed.
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, events, FALSE, 0));
  EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, events, FALSE, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(3, events, FALSE, 0));
  // All: nothing is consumed until every one is signalled at once.
  SetEvent(events[1]);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events[1], 0));
  for (HANDLE event : events) SetEvent(event);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(3, events, FALSE, 0));
  for (HANDLE event : events) CloseHandle(event);
}

TEST(Wait, TimesOutAfterTheTime) {
  HANDLE event = NewEvent(true, false);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
  CloseHandle(event);
}

TEST(Handle, ClosedHandleIsInvalid) {
  // Both made first: Win32 reuses the value of a closed handle.
  HANDLE event = NewEvent(true, true);
  HANDLE other = NewEvent(true, false);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_FALSE(SetEvent(event));
  HANDLE both[2] = {other, event};
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(2, both, FALSE, 0));
  CloseHandle(other);
}

struct Gate {
  HANDLE open = NewEvent(true, false);
  HANDLE passed = NewEvent(true, false);
  ~Gate() {
    CloseHandle(open);
    CloseHandle(passed);
  }
};

DWORD WINAPI WaitAtGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  if (WaitForSingleObject(gate->open, INFINITE) != WAIT_OBJECT_0) return 1;
  SetEvent(gate->passed);
  return 0x1234;
}

TEST(Thread, RunsWakesAndReportsItsExitCode) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
  ASSERT_NE(nullptr, thread);
  EXPECT_NE(0u, id);
  EXPECT_NE(GetCurrentThreadId(), id);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(STILL_ACTIVE, code);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));

  SetEvent(gate.open);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kDeadlineMs));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gate.passed, 0));
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(0x1234u, code);
  EXPECT_TRUE(CloseHandle(thread));
}

// Where a thread can be blocked when TerminateThread comes.
enum class Blocking { kWaitForSingleObject, kWaitForMultipleObjects, kGetMessage, kSendMessage };

struct Blocked {
  Blocking kind;
  HANDLE ready = NewEvent(true, false);
  HANDLE never = NewEvent(true, false);
  HWND deaf = nullptr;  // a window whose thread handles no messages
  ~Blocked() {
    CloseHandle(ready);
    CloseHandle(never);
  }
};

DWORD WINAPI BlockIn(LPVOID parameter) {
  auto* blocked = static_cast<Blocked*>(parameter);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  SetEvent(blocked->ready);
  HANDLE both[2] = {blocked->never, blocked->never};
  switch (blocked->kind) {
    case Blocking::kWaitForSingleObject:
      WaitForSingleObject(blocked->never, INFINITE);
      break;
    case Blocking::kWaitForMultipleObjects:
      WaitForMultipleObjects(2, both, FALSE, INFINITE);
      break;
    case Blocking::kGetMessage:
      GetMessageA(&msg, nullptr, 0, 0);
      break;
    case Blocking::kSendMessage:
      SendMessageA(blocked->deaf, WM_USER, 0, 0);
      break;
  }
  return 5;
}

struct Deaf {
  HANDLE ready = NewEvent(true, false);
  HANDLE release = NewEvent(true, false);
  HWND window = nullptr;
};

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI OwnWindowAndIgnoreIt(LPVOID parameter) {
  auto* deaf = static_cast<Deaf*>(parameter);
  deaf->window = CreateTestWindow(Plain);
  SetEvent(deaf->ready);
  WaitForSingleObject(deaf->release, INFINITE);
  DestroyWindow(deaf->window);
  return 0;
}

TEST(TerminateThread, EndsEveryKindOfBlockingCall) {
  // The window's thread never handles the message, so terminating the sender
  // must not wait for it.
  Deaf deaf;
  TestThread deafThread(OwnWindowAndIgnoreIt, &deaf);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(deaf.ready, kDeadlineMs));

  for (Blocking kind : {Blocking::kWaitForSingleObject, Blocking::kWaitForMultipleObjects, Blocking::kGetMessage,
                        Blocking::kSendMessage}) {
    SCOPED_TRACE(int(kind));
    Blocked blocked;
    blocked.kind = kind;
    blocked.deaf = deaf.window;
    EXPECT_TRUE(TerminatesOnceReady(BlockIn, &blocked, blocked.ready, 42));
  }
  SetEvent(deaf.release);
  EXPECT_TRUE(deafThread.Join());
  CloseHandle(deaf.ready);
  CloseHandle(deaf.release);
}

struct SelfEnding {
  HANDLE go = NewEvent(true, false);
  HANDLE self = nullptr;
};

DWORD WINAPI TerminateItself(LPVOID parameter) {
  auto* self = static_cast<SelfEnding*>(parameter);
  WaitForSingleObject(self->go, INFINITE);
  TerminateThread(self->self, 7);
  return 3;
}

TEST(TerminateThread, FromTheThreadItselfSetsItsExitCode) {
  SelfEnding self;
  self.self = CreateThread(nullptr, 0, TerminateItself, &self, 0, nullptr);
  ASSERT_NE(nullptr, self.self);
  SetEvent(self.go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(self.self, kDeadlineMs));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(self.self, &code));
  EXPECT_EQ(7u, code);
  CloseHandle(self.self);
  CloseHandle(self.go);
}

}  // namespace
