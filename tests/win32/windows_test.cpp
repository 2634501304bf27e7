// Window classes, windows, message queues, SendMessageA across threads and
// timers, through the Win32 calls alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/message_pump.h"
#include "tests/support/window_thread.h"

namespace {

constexpr UINT kPing = WM_APP + 1, kRelay = WM_APP + 2;

// What a window procedure of this thread saw.
std::vector<UINT> g_seen;
std::set<WPARAM> g_timers;
bool g_destroyedStillWindow = false;

std::vector<UINT> Seen() { return std::move(g_seen); }

LRESULT CALLBACK Recording(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY || message >= WM_USER)
    g_seen.push_back(message);
  if (message == WM_DESTROY) g_destroyedStillWindow = IsWindow(window);
  if (message == WM_TIMER) g_timers.insert(wParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK RefusesCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_CREATE ? -1 : DefWindowProcA(window, message, wParam, lParam);
}

// Answers kPing with the id of the thread it runs on, and notes the thread
// its first timer comes on.
std::atomic<DWORD> g_timerThread{0};
LRESULT CALLBACK ThreadTelling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && KillTimer(window, wParam)) g_timerThread = GetCurrentThreadId();
  return message == kPing ? LRESULT(GetCurrentThreadId()) : DefWindowProcA(window, message, wParam, lParam);
}

// The message PeekMessageA finds (0: none), with its window's handle and wParam.
std::vector<uintptr_t> Peek(HWND window, UINT first, UINT last, UINT remove) {
  MSG msg;
  if (!PeekMessageA(&msg, window, first, last, remove)) return {0};
  return {msg.message, reinterpret_cast<uintptr_t>(msg.hwnd), msg.wParam};
}

// Messages on the calling thread's queue for the window, removed, in order.
std::vector<UINT> Drain(HWND window) {
  std::vector<UINT> messages;
  MSG msg;
  while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) messages.push_back(msg.message);
  return messages;
}

TEST(Window, ClassLifecycleAndStaleHandle) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Recording;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "Korvex-Class-Test";
  ASSERT_NE(0, RegisterClassA(&windowClass));
  EXPECT_FALSE(RegisterClassA(&windowClass));
  EXPECT_EQ(DWORD(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
  Seen();
  HWND window = CreateWindowExA(0, "KORVEX-class-test", "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  ASSERT_TRUE(IsWindow(window));  // class names ignore case
  EXPECT_FALSE(UnregisterClassA("Korvex-Class-Test", instance));
  EXPECT_EQ(DWORD(ERROR_CLASS_HAS_WINDOWS), GetLastError());
  for (UINT i = 0; i < 3; ++i) ASSERT_TRUE(PostMessageA(window, WM_USER + i, 0, 0));
  EXPECT_TRUE(DestroyWindow(window) && UnregisterClassA("Korvex-Class-Test", instance));
  EXPECT_FALSE(GetClassInfoA(instance, "Korvex-Class-Test", &windowClass));
  // Destroyed with messages queued: it gets none of them.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ((std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}), Seen());
  EXPECT_TRUE(g_destroyedStillWindow);
  // The handle stays dead while new windows come and go.
  std::vector<HWND> later(50);
  for (HWND& other : later) other = CreateTestWindow(Recording);
  EXPECT_EQ(std::count(later.begin(), later.end(), window), 0);
  for (HWND other : later) DestroyWindow(other);
  EXPECT_FALSE(IsWindow(window) || DestroyWindow(window) || PostMessageA(window, kPing, 0, 0));
  EXPECT_EQ(0, SendMessageA(window, kPing, 1, 0));
  EXPECT_EQ(nullptr, CreateTestWindow(RefusesCreation));
}

TEST(MessageQueue, OrderFiltersAndQuit) {
  HWND window = CreateTestWindow(Recording);
  const uintptr_t w = reinterpret_cast<uintptr_t>(window);
  Drain(nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 10, 20));
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 0, 0));
  ASSERT_TRUE(PostMessageA(window, WM_USER + 3, 0, 0));
  // Not removed: seen again. A range skips what lies outside it; a window
  // filter skips thread messages.
  EXPECT_EQ((std::vector<uintptr_t>{WM_USER + 1, w, 10}), Peek(nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ((std::vector<uintptr_t>{WM_USER + 2, 0, 0}), Peek(nullptr, WM_USER + 2, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_USER + 3}), Drain(window));
  // The quit request comes after every posted message, and through any filter.
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 4, 0, 0));
  MSG msg;
  EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0) == TRUE && msg.message == WM_USER + 4);
  EXPECT_EQ((std::vector<uintptr_t>{WM_QUIT, 0, 7}), Peek(window, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0) == FALSE && msg.message == WM_QUIT);
  DestroyWindow(window);
}

// Owns a window and handles its messages until WM_QUIT.
DWORD WINAPI OwnWindowUntilQuit(LPVOID window) {
  auto* owned = static_cast<std::atomic<HWND>*>(window);
  *owned = CreateTestWindow(ThreadTelling);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return !DestroyWindow(*owned);
}

// Sent messages and timers for a window of another thread run on that thread.
TEST(SendMessage, RunsOnTheWindowsThreadAndSoDoItsTimers) {
  std::atomic<HWND> theirs{nullptr};
  TestThread thread(OwnWindowUntilQuit, &theirs);
  while (!theirs.load()) std::this_thread::yield();
  HWND mine = CreateTestWindow(ThreadTelling);
  const LRESULT other = SendMessageA(theirs, kPing, 0, 0);
  EXPECT_NE(LRESULT(GetCurrentThreadId()), other);
  EXPECT_EQ(LRESULT(GetCurrentThreadId()), SendMessageA(mine, kPing, 0, 0));
  DestroyWindow(mine);
  EXPECT_NE(0u, SetTimer(theirs, 3, 10, nullptr));
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
  while (!g_timerThread.load() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_EQ(DWORD(other), g_timerThread.load());
  PostMessageA(theirs, WM_QUIT, 0, 0);
}

// A thread that ends before it handles a message sent to it releases the
// sender, with 0.
DWORD WINAPI OwnWindowThenEndUnanswered(LPVOID window) {
  *static_cast<std::atomic<HWND>*>(window) = CreateTestWindow(ThreadTelling);
  return MsgWaitForMultipleObjectsEx(0, nullptr, kDeadlineMs, QS_SENDMESSAGE, 0);
}

DWORD WINAPI Ping(LPVOID window) {
  return DWORD(SendMessageA(static_cast<std::atomic<HWND>*>(window)->load(), kPing, 0, 0));
}

TEST(SendMessage, ToAThreadThatEndsUnansweredReturnsZero) {
  std::atomic<HWND> theirs{nullptr};
  TestThread owner(OwnWindowThenEndUnanswered, &theirs);
  while (!theirs.load()) std::this_thread::yield();
  TestThread sender(Ping, &theirs);
  DWORD waited = 1, sent = 1;
  ASSERT_TRUE(owner.Join() && sender.Join());
  EXPECT_TRUE(GetExitCodeThread(owner.handle(), &waited) && GetExitCodeThread(sender.handle(), &sent));
  EXPECT_EQ(WAIT_OBJECT_0, waited);
  EXPECT_EQ(0u, sent);
}

// The reply to SendMessageCallbackA comes back to the sender's queue, and its
// callback runs on the sender's thread once that thread looks at the queue.
struct Reply {
  std::atomic<DWORD> thread{0};
  LRESULT result = 0;
};

void CALLBACK NoteReply(HWND, UINT, ULONG_PTR data, LRESULT result) {
  auto* reply = reinterpret_cast<Reply*>(data);
  reply->result = result;
  reply->thread = GetCurrentThreadId();
}

TEST(SendMessage, CallbackRunsOnTheSendersThreadWithTheResult) {
  std::atomic<HWND> theirs{nullptr};
  TestThread thread(OwnWindowUntilQuit, &theirs);
  while (!theirs.load()) std::this_thread::yield();
  Reply reply;
  ASSERT_TRUE(SendMessageCallbackA(theirs, kPing, 0, 0, NoteReply, reinterpret_cast<ULONG_PTR>(&reply)));
  EXPECT_EQ(WAIT_OBJECT_0, MsgWaitForMultipleObjectsEx(0, nullptr, kDeadlineMs, QS_ALLINPUT, 0));
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  EXPECT_EQ(GetCurrentThreadId(), reply.thread.load());
  EXPECT_NE(0, reply.result);
  EXPECT_NE(LRESULT(GetCurrentThreadId()), reply.result);
  PostMessageA(theirs, WM_QUIT, 0, 0);
}

// Two threads that send to each other's windows, both at once and from
// inside a handler, must both get on.
std::atomic<HWND> g_peerOf[2];
std::atomic<int> g_handled{0};

LRESULT CALLBACK Relaying(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kRelay) return DefWindowProcA(window, message, wParam, lParam);
  g_handled++;
  // Sends back to the thread that is waiting for this very message.
  return wParam > 0 ? 1 + SendMessageA(g_peerOf[1 - lParam].load(), kRelay, wParam - 1, 1 - lParam) : 1;
}

struct Sender {
  int side;
  HANDLE start;
  LRESULT total = 0;
};

DWORD WINAPI OwnWindowThenSend(LPVOID parameter) {
  auto* sender = static_cast<Sender*>(parameter);
  g_peerOf[1 - sender->side] = CreateTestWindow(Relaying);
  if (WaitForSingleObject(sender->start, kDeadlineMs) != WAIT_OBJECT_0) return 1;
  for (int i = 0; i < 100; ++i) sender->total += SendMessageA(g_peerOf[sender->side].load(), kRelay, 3, sender->side);
  // Answer the peer until it is done too.
  MSG msg;
  while (g_handled.load() < 800 && WaitForSingleObject(sender->start, 0) == WAIT_OBJECT_0)
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  return 0;
}

TEST(SendMessage, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  g_peerOf[0] = g_peerOf[1] = nullptr;
  HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Sender a{0, start}, b{1, start};
  {
    TestThread first(OwnWindowThenSend, &a), second(OwnWindowThenSend, &b);
    while (!g_peerOf[0].load() || !g_peerOf[1].load()) std::this_thread::yield();
    SetEvent(start);
    EXPECT_TRUE(first.Join() && second.Join());
    ResetEvent(start);
  }
  // Each send runs four handlers, alternating between the threads.
  EXPECT_EQ((std::vector<long long>{400, 400, 800}), (std::vector<long long>{a.total, b.total, g_handled.load()}));
  CloseHandle(start);
}

std::atomic<int> g_timerCalls{0};
void CALLBACK CountingTimer(HWND, UINT message, UINT_PTR, DWORD) { g_timerCalls += message == WM_TIMER; }

// The window timers that came within ms.
std::set<WPARAM> TimersWithin(DWORD ms) {
  g_timers.clear();
  PumpMessagesUntil([] { return false; }, std::chrono::milliseconds(ms));
  return g_timers;
}

TEST(Timer, WindowAndThreadTimers) {
  HWND window = CreateTestWindow(Recording);
  // Set again with a long period: the same timer restarted, not a second one.
  ASSERT_NE(0u, SetTimer(window, 5, 10, nullptr));
  ASSERT_NE(0u, SetTimer(window, 5, 60000, nullptr));
  ASSERT_NE(0u, SetTimer(window, 6, 10, nullptr));
  EXPECT_EQ(std::set<WPARAM>{6}, TimersWithin(300));
  EXPECT_TRUE(KillTimer(window, 6) && !KillTimer(window, 6));
  Drain(window);
  EXPECT_TRUE(TimersWithin(100).empty());
  // Only when the queue is empty, and never two pending. The period is long
  // enough that the drain itself does not see the next one.
  ASSERT_NE(0u, SetTimer(window, 1, 100, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(350));  // three periods pass unpumped
  ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ((std::vector<UINT>{WM_USER, WM_TIMER}), Drain(window));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(KillTimer(window, 1) || SetTimer(window, 1, 10, nullptr));  // went with the window
  // A thread timer comes without a window, to its procedure when it has one.
  g_timerCalls = 0;
  for (TIMERPROC procedure : {TIMERPROC(nullptr), TIMERPROC(CountingTimer)}) {
    UINT_PTR id = SetTimer(nullptr, 0, 10, procedure);
    ASSERT_NE(0u, id);
    MSG msg;
    ASSERT_EQ(WAIT_OBJECT_0, MsgWaitForMultipleObjectsEx(0, nullptr, kDeadlineMs, QS_TIMER, 0));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_TRUE(msg.hwnd == nullptr && msg.wParam == id);
    DispatchMessageA(&msg);
    EXPECT_TRUE(KillTimer(nullptr, id));
  }
  EXPECT_EQ(1, g_timerCalls.load());
}

}  // namespace
