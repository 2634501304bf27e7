// Change notifications where the Win32 that Wine provides falls short of
// Windows, so the shared suite cannot check them: changes in subfolders that
// existed before the watch began, and a key deleted while a wait is on it.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/window_thread.h"

namespace {

TEST(FolderChanges, SubtreeSeesSubfoldersThatWereThereBefore) {
  std::string folder = ScratchFolderOfProgram() + "posix-notify-subtree";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((folder + "/a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((folder + "/a/b").c_str(), nullptr));
  HANDLE changes = FindFirstChangeNotificationA(folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(INVALID_HANDLE_VALUE, changes);
  std::ofstream(folder + "/a/b/new") << "x";
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(changes, kDeadlineMs));
  FindCloseChangeNotification(changes);
}

struct Wait {
  HKEY key;
  HANDLE armed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<LONG> result{-1};
};

DWORD WINAPI WaitForKey(LPVOID parameter) {
  auto* wait = static_cast<Wait*>(parameter);
  SetEvent(wait->armed);
  wait->result = RegNotifyChangeKeyValue(wait->key, TRUE, REG_NOTIFY_CHANGE_NAME, nullptr, FALSE);
  return 0;
}

// The blocking form fails, the asynchronous one signals its event.
TEST(KeyChanges, KeyDeletedDuringTheWait) {
  ScratchKey scratch;
  HKEY doomed = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(scratch.get(), "doomed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &doomed, nullptr));
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(doomed, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
  Wait wait{doomed};
  {
    TestThread thread(WaitForKey, &wait);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(wait.armed, kDeadlineMs));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch.get(), "doomed"));
  }
  EXPECT_EQ(ERROR_KEY_DELETED, wait.result.load());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, kDeadlineMs));
  RegCloseKey(doomed);
  CloseHandle(event);
  CloseHandle(wait.armed);
}

}  // namespace
