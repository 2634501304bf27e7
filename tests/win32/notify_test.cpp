// Threads, events, waits, folder and registry change notifications, and
// TerminateThread ending every kind of wait, through the Win32 calls alone.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <utility>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/target.h"
#include "tests/support/window_thread.h"

namespace {

// Long enough that a change that was due would have been seen.
constexpr DWORD kQuietMs = 300;
constexpr DWORD kTimeout = WAIT_TIMEOUT, kSignalled = WAIT_OBJECT_0;

bool WriteFile(const std::string& path, const std::string& text = "x") {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << text;
  return bool(file);
}

// Waits the deadline for an expected change, else the quiet time.
DWORD WaitFor(HANDLE handle, bool expected) { return WaitForSingleObject(handle, expected ? kDeadlineMs : kQuietMs); }

TEST(FolderChanges, FilterAndSubtree) {
  const struct {
    const char* name;
    DWORD filter;
    BOOL subtree;
    const char* made;  // below the folder: folders on the way, then a file written or, ending in '/', a folder
    bool reported;
    bool missedByWine = false;  // Wine watches only the subfolders made after the watch began
  } cases[] = {
      {"file created", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "new", true},
      {"file in a subfolder, flat", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "sub/new", false},
      {"folder made, files only", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "made/", false},
      {"folder made, folders", FILE_NOTIFY_CHANGE_DIR_NAME, FALSE, "made/", true},
      {"file written, names", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "old", false},
      {"file written, last write", FILE_NOTIFY_CHANGE_LAST_WRITE, FALSE, "old", true},
      {"file in a new subfolder, subtree", FILE_NOTIFY_CHANGE_FILE_NAME, TRUE, "later/deeper/new", true},
      {"file in an old subfolder, subtree", FILE_NOTIFY_CHANGE_FILE_NAME, TRUE, "sub/new", true, true},
  };
  for (const auto& c : cases) {
    if (kBuiltForWindows && c.missedByWine) continue;
    SCOPED_TRACE(c.name);
    std::string folder = NewFolder("case"), made = folder + "/" + c.made;
    ASSERT_TRUE(CreateDirectoryA((folder + "/sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFile(folder + "/old"));
    HANDLE changes = FindFirstChangeNotificationA(folder.c_str(), c.subtree, c.filter);
    ASSERT_NE(INVALID_HANDLE_VALUE, changes);
    for (size_t at = made.find('/', folder.size() + 1); at != std::string::npos; at = made.find('/', at + 1))
      CreateDirectoryA(made.substr(0, at).c_str(), nullptr);
    if (made.back() != '/') WriteFile(made, "more");
    EXPECT_EQ(c.reported ? kSignalled : kTimeout, WaitFor(changes, c.reported));
    EXPECT_TRUE(FindCloseChangeNotification(changes));
  }
}

TEST(FolderChanges, StaysSignalledUntilFindNextAndRefusesWhatCannotBeWatched) {
  std::string folder = NewFolder("next");
  HANDLE changes = FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(INVALID_HANDLE_VALUE, changes);
  EXPECT_EQ(kTimeout, WaitForSingleObject(changes, 0));
  WriteFile(folder + "/one");
  ASSERT_EQ(kSignalled, WaitFor(changes, true));
  EXPECT_EQ(kSignalled, WaitForSingleObject(changes, 0));
  ASSERT_TRUE(FindNextChangeNotification(changes));
  EXPECT_EQ(kTimeout, WaitFor(changes, false));
  WriteFile(folder + "/two");  // a change after FindNext is seen again
  EXPECT_EQ(kSignalled, WaitFor(changes, true));
  EXPECT_TRUE(FindCloseChangeNotification(changes));
  SetLastError(0);
  EXPECT_FALSE(FindNextChangeNotification(changes));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());

  std::string missing = ScratchFolderOfProgram() + "notify-missing/nowhere";
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstChangeNotificationA(missing.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstChangeNotificationA(folder.c_str(), FALSE, 0));
}

void SetInSubkey(HKEY& key) {
  HKEY sub = CreateKey(key, "sub");
  SetNumber(sub, "value", 2);
  RegCloseKey(sub);
}

TEST(KeyChanges, FilterAndSubtree) {
  const struct {
    const char* name;
    DWORD filter;
    BOOL subtree;
    void (*change)(HKEY& key);
    bool reported;
    bool missedByWine = false;  // Wine watches only the subfolders made after the watch began
  } cases[] = {
      {"value set, values", REG_NOTIFY_CHANGE_LAST_SET, FALSE, [](HKEY& key) { SetNumber(key, "value", 2); }, true},
      {"value deleted, values", REG_NOTIFY_CHANGE_LAST_SET, FALSE, [](HKEY& key) { RegDeleteValueA(key, "old"); },
       true},
      {"value set, names", REG_NOTIFY_CHANGE_NAME, FALSE, [](HKEY& key) { SetNumber(key, "value", 2); }, false},
      {"subkey added, names", REG_NOTIFY_CHANGE_NAME, FALSE, [](HKEY& key) { RegCloseKey(CreateKey(key, "added")); },
       true},
      {"value in subkey, flat", REG_NOTIFY_CHANGE_LAST_SET, FALSE, SetInSubkey, false},
      {"value in subkey, subtree", REG_NOTIFY_CHANGE_LAST_SET, TRUE, SetInSubkey, true},
      // As Win32 documents: closing the key signals the event of its wait.
      {"key closed", REG_NOTIFY_CHANGE_LAST_SET, FALSE, [](HKEY& key) { RegCloseKey(std::exchange(key, nullptr)); },
       true},
  };
  for (const auto& c : cases) {
    if (kBuiltForWindows && c.missedByWine) continue;
    SCOPED_TRACE(c.name);
    ScratchKey scratch;
    HKEY key = CreateKey(scratch.get(), "watched");
    SetNumber(key, "old", 1);
    RegCloseKey(CreateKey(key, "sub"));
    // Signalled before: the registration resets it, so only a change sets it.
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, c.subtree, c.filter, event, TRUE));
    c.change(key);
    EXPECT_EQ(c.reported ? kSignalled : kTimeout, WaitFor(event, c.reported));
    CloseHandle(event);
    RegCloseKey(key);
  }
}

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
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(3, events, FALSE, 0));
  CloseHandle(events[0]);
  CloseHandle(events[1]);
}

// Where the thread waits when it is ended.
enum Where { kOnEvent, kOnEvents, kOnMessage, kInSend, kOnKeyChange, kOnFolderChange, kWhereCount };

struct Blocked {
  Where where = kOnEvent;
  HANDLE ready = NewEvent(true, false), never = NewEvent(true, false);
  HANDLE self = nullptr;  // kOnEvent: the thread ends itself once woken
  HWND deaf = nullptr;    // a window whose thread handles no message meanwhile
  HKEY key = nullptr;
  HANDLE folder = nullptr;  // a change notification
  ~Blocked() { CloseHandle(ready), CloseHandle(never); }
};

DWORD WINAPI BlockIn(LPVOID parameter) {
  auto* blocked = static_cast<Blocked*>(parameter);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  SetEvent(blocked->ready);
  HANDLE both[2] = {blocked->never, blocked->never};
  if (blocked->where == kOnEvent) {
    DWORD waited = WaitForSingleObject(blocked->never, INFINITE);
    if (blocked->self) TerminateThread(blocked->self, 7);
    return waited + 0x1234;
  }
  if (blocked->where == kOnEvents) WaitForMultipleObjects(2, both, FALSE, INFINITE);
  if (blocked->where == kOnMessage) GetMessageA(&msg, nullptr, 0, 0);
  if (blocked->where == kInSend) SendMessageA(blocked->deaf, WM_USER, 0, 0);
  if (blocked->where == kOnKeyChange)
    return RegNotifyChangeKeyValue(blocked->key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
  if (blocked->where == kOnFolderChange) WaitForSingleObject(blocked->folder, INFINITE);
  return 5;
}

// Starts BlockIn, waits until it is ready, then ends it as `end` does: the
// thread's exit code once it ended within the deadline.
template <typename End>
DWORD ExitCodeAfter(Blocked& blocked, End end) {
  HANDLE thread = CreateThread(nullptr, 0, BlockIn, &blocked, 0, nullptr);
  DWORD code = 0xBAD;
  if (WaitFor(blocked.ready, true) == kSignalled) end(thread);
  if (WaitFor(thread, true) == kSignalled) GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

// Woken, the thread returns, or terminates itself, with its exit code.
TEST(Thread, RunsWakesAndReportsItsExitCode) {
  for (bool endsItself : {false, true}) {
    SCOPED_TRACE(endsItself);
    Blocked gate;
    auto wake = [&](HANDLE thread) {
      DWORD running = 0;
      EXPECT_TRUE(GetExitCodeThread(thread, &running) && running == STILL_ACTIVE);
      EXPECT_EQ(kTimeout, WaitForSingleObject(thread, 0));
      if (endsItself) gate.self = thread;
      SetEvent(gate.never);
    };
    EXPECT_EQ(endsItself ? 7u : WAIT_OBJECT_0 + 0x1234u, ExitCodeAfter(gate, wake));
  }
}

TEST(TerminateThread, EndsEveryKindOfBlockingCall) {
  // This thread handles no message while it waits, so terminating the sender
  // must not wait for it.
  HWND deaf = CreateTestWindow(DefWindowProcA);
  ScratchKey scratch;
  HANDLE changes = FindFirstChangeNotificationA(NewFolder("terminate").c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
  for (int where = kOnEvent; where < kWhereCount; ++where) {
    SCOPED_TRACE(where);
    Blocked blocked;
    blocked.where = static_cast<Where>(where);
    blocked.deaf = deaf;
    blocked.key = scratch.get();
    blocked.folder = changes;
    EXPECT_EQ(42u, ExitCodeAfter(blocked, [](HANDLE thread) { TerminateThread(thread, 42); }));
  }
  FindCloseChangeNotification(changes);
  DestroyWindow(deaf);
}

// A key deleted during a wait: the blocking form fails, the asynchronous one
// signals its event.
TEST(KeyChanges, KeyDeletedDuringTheWait) {
  if (kBuiltForWindows) GTEST_SKIP() << "under Wine the waits go on";
  ScratchKey scratch;
  Blocked blocked;
  blocked.where = kOnKeyChange;
  blocked.key = CreateKey(scratch.get(), "doomed");
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(blocked.key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
  EXPECT_EQ(DWORD(ERROR_KEY_DELETED), ExitCodeAfter(blocked, [&](HANDLE) { RegDeleteKeyA(scratch.get(), "doomed"); }));
  EXPECT_EQ(kSignalled, WaitFor(event, true));
  RegCloseKey(blocked.key);
  CloseHandle(event);
}

}  // namespace
