// Folder and registry change notifications, in this process and from another
// one, through the Win32 calls alone.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"
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
  } cases[] = {
      {"file created", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "new", true},
      {"file in a subfolder, flat", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "sub/new", false},
      {"folder made, files only", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "made/", false},
      {"folder made, folders", FILE_NOTIFY_CHANGE_DIR_NAME, FALSE, "made/", true},
      {"file written, names", FILE_NOTIFY_CHANGE_FILE_NAME, FALSE, "old", false},
      {"file written, last write", FILE_NOTIFY_CHANGE_LAST_WRITE, FALSE, "old", true},
      {"file in a new subfolder, subtree", FILE_NOTIFY_CHANGE_FILE_NAME, TRUE, "later/deeper/new", true},
  };
  for (const auto& c : cases) {
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
  EXPECT_FALSE(FindNextChangeNotification(changes));

  std::string missing = ScratchFolderOfProgram() + "notify-missing/nowhere";
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstChangeNotificationA(missing.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstChangeNotificationA(folder.c_str(), FALSE, 0));
}

void SetInSubkey(HKEY key) {
  HKEY sub = CreateKey(key, "sub");
  SetNumber(sub, "value", 2);
  RegCloseKey(sub);
}

TEST(KeyChanges, FilterAndSubtree) {
  const struct {
    const char* name;
    DWORD filter;
    BOOL subtree;
    void (*change)(HKEY key);
    bool reported;
  } cases[] = {
      {"value set, values", REG_NOTIFY_CHANGE_LAST_SET, FALSE, [](HKEY key) { SetNumber(key, "value", 2); }, true},
      {"value deleted, values", REG_NOTIFY_CHANGE_LAST_SET, FALSE, [](HKEY key) { RegDeleteValueA(key, "old"); }, true},
      {"value set, names", REG_NOTIFY_CHANGE_NAME, FALSE, [](HKEY key) { SetNumber(key, "value", 2); }, false},
      {"subkey added, names", REG_NOTIFY_CHANGE_NAME, FALSE, [](HKEY key) { RegCloseKey(CreateKey(key, "added")); },
       true},
      {"value in subkey, flat", REG_NOTIFY_CHANGE_LAST_SET, FALSE, SetInSubkey, false},
      {"value in subkey, subtree", REG_NOTIFY_CHANGE_LAST_SET, TRUE, SetInSubkey, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchKey scratch;
    SetNumber(scratch.get(), "old", 1);
    RegCloseKey(CreateKey(scratch.get(), "sub"));
    // Signalled before: the registration resets it, so only a change sets it.
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(scratch.get(), c.subtree, c.filter, event, TRUE));
    c.change(scratch.get());
    EXPECT_EQ(c.reported ? kSignalled : kTimeout, WaitFor(event, c.reported));
    CloseHandle(event);
  }
}

// As Win32 documents: closing the key signals the event of its wait.
TEST(KeyChanges, ClosingTheKeySignalsTheEvent) {
  ScratchKey scratch;
  HKEY key = CreateKey(scratch.get(), "closed");
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
  EXPECT_EQ(kTimeout, WaitForSingleObject(event, 0));
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(kSignalled, WaitFor(event, true));
  CloseHandle(event);
}

// The argument: the key below HKEY_CURRENT_USER, then the file to create.
TEST(NotifyChild, DISABLED_Change) {
  std::string argument = ChildArgument();
  size_t split = argument.find('|');
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, argument.substr(0, split).c_str(), 0, KEY_SET_VALUE, &key));
  ASSERT_EQ(ERROR_SUCCESS, SetNumber(key, "from-child", 1));
  RegCloseKey(key);
  ASSERT_TRUE(WriteFile(argument.substr(split + 1)));
}

TEST(Changes, FromAnotherProcess) {
  ScratchKey scratch;
  std::string folder = NewFolder("child");
  HANDLE changes = FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(INVALID_HANDLE_VALUE, changes);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(scratch.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
  ASSERT_EQ(0, RunInChild("NotifyChild.DISABLED_Change", scratch.path() + "|" + folder + "/from-child"));
  EXPECT_EQ(kSignalled, WaitFor(changes, true));
  EXPECT_EQ(kSignalled, WaitFor(event, true));
  FindCloseChangeNotification(changes);
  CloseHandle(event);
}

struct Watching {
  HKEY key;
  HANDLE folder;
  bool registry;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI WaitForAChange(LPVOID parameter) {
  auto* watching = static_cast<Watching*>(parameter);
  SetEvent(watching->ready);
  if (watching->registry)
    RegNotifyChangeKeyValue(watching->key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
  else
    WaitForSingleObject(watching->folder, INFINITE);
  return 5;
}

TEST(KeyChanges, TerminateThreadEndsTheWaits) {
  ScratchKey scratch;
  std::string folder = NewFolder("terminate");
  HANDLE changes = FindFirstChangeNotificationA(folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(INVALID_HANDLE_VALUE, changes);
  for (bool registry : {true, false}) {
    SCOPED_TRACE(registry ? "registry" : "folder");
    Watching watching{scratch.get(), changes, registry};
    EXPECT_TRUE(TerminatesOnceReady(WaitForAChange, &watching, watching.ready, 9));
    CloseHandle(watching.ready);
  }
  FindCloseChangeNotification(changes);
}

}  // namespace
