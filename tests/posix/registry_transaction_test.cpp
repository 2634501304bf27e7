// Registry transactions: isolation until commit, nothing left by a rollback or a
// close without commit, and failing calls inside.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/window_thread.h"

namespace {

const char kKey[] = "Software\\T";

// What a handle opened outside any transaction reads.
std::string Committed(HKEY root = HKEY_CURRENT_USER) { return TreeAt(root, kKey); }

// What another process reads.
bool OtherProcessReads(const std::string& expected, HKEY root = HKEY_CURRENT_USER) {
  return RunInChild([&] { return Committed(root) == expected ? 0 : 1; }) == 0;
}

const char kSeeded[] = "old=1;[Gone]{x=2;}";

class RegistryTransaction : public testing::Test {
protected:
  void SetUp() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    HKEY key = CreateKey(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, "old", "1"));
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(key, "Gone", "x", REG_SZ, "2", 2));
    RegCloseKey(key);
    ASSERT_EQ(kSeeded, Committed());
    transaction_ = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, transaction_);
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyTransactedA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key_, transaction_, nullptr));
  }
  void TearDown() override {
    RegCloseKey(key_);
    if (transaction_) CloseHandle(transaction_);
  }

  ScratchFolder scratch_;
  HANDLE transaction_ = nullptr;
  HKEY key_ = nullptr;
};

// Each change: what the transaction reads after it, and the ways to end.
struct Change {
  const char* what;
  LONG (*apply)(HKEY);
  const char* after;
};

const Change kChanges[] = {
    {"set a value", [](HKEY key) { return SetText(key, "new", "3"); }, "new=3;old=1;[Gone]{x=2;}"},
    {"delete a value", [](HKEY key) { return RegDeleteValueA(key, "old"); }, "[Gone]{x=2;}"},
    {"delete a tree", [](HKEY key) { return RegDeleteTreeA(key, "Gone"); }, "old=1;"},
    // A key created below a transacted key belongs to the transaction (one
    // created from the root: BothHivesCommitTogether).
    {"create below the key",
     [](HKEY key) {
       HKEY sub = CreateKey(key, "Sub");
       LONG rc = SetText(sub, "y", "4");
       RegCloseKey(sub);
       return rc;
     },
     "old=1;[Gone]{x=2;}[Sub]{y=4;}"},
};

enum class End { kCommit, kRollback, kCloseHandle };

TEST_F(RegistryTransaction, ChangesShowOnlyAfterCommit) {
  for (const Change& change : kChanges) {
    for (End end : {End::kCommit, End::kRollback, End::kCloseHandle}) {
      SCOPED_TRACE(std::string(change.what) + " ending " + std::to_string(static_cast<int>(end)));
      TearDown();
      SetUp();  // the seeded key again, with a fresh transaction
      HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      HKEY watched = nullptr;
      ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &watched));
      ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(
                                   watched, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));

      ASSERT_EQ(ERROR_SUCCESS, change.apply(key_));
      EXPECT_EQ(change.after, Tree(key_));
      EXPECT_EQ(kSeeded, Committed());
      EXPECT_TRUE(OtherProcessReads(kSeeded));
      EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(event, 0));

      bool committed = end == End::kCommit;
      EXPECT_TRUE(committed               ? CommitTransaction(transaction_)
                  : end == End::kRollback ? RollbackTransaction(transaction_)
                                          : CloseHandle(transaction_));
      if (end == End::kCloseHandle) transaction_ = nullptr;
      std::string expected = committed ? change.after : kSeeded;
      EXPECT_EQ(expected, Committed());
      EXPECT_TRUE(OtherProcessReads(expected));
      EXPECT_EQ(static_cast<DWORD>(committed ? WAIT_OBJECT_0 : WAIT_TIMEOUT),
                WaitForSingleObject(event, committed ? kDeadlineMs : 0));
      // The transaction is over for its keys and for a second end.
      EXPECT_EQ(ERROR_TRANSACTION_NOT_ACTIVE, SetText(key_, "late", "5"));
      if (transaction_) {
        EXPECT_FALSE(CommitTransaction(transaction_));
        EXPECT_EQ(static_cast<DWORD>(ERROR_TRANSACTION_NOT_ACTIVE), GetLastError());
      }
      RegCloseKey(watched);
      CloseHandle(event);
    }
  }
}

// What it cannot keep is refused; failing calls inside leave it usable.
TEST_F(RegistryTransaction, FailingCallsLeaveItUsable) {
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateTransaction(nullptr, nullptr, 0, 0, 0, 1000, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  HKEY key = nullptr;
  int extended = 0;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(
      (std::vector<LONG>{ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_INVALID_HANDLE, FALSE}),
      (std::vector<LONG>{
          RegOpenKeyTransactedA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key, reinterpret_cast<HANDLE>(0x7777), nullptr),
          RegOpenKeyTransactedA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key, transaction_, &extended),
          RegOpenKeyTransactedA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key, event, nullptr),
          CommitTransaction(event)}));
  CloseHandle(event);
  RegCloseKey(CreateKey(key_, "Gone\\Deeper"));
  EXPECT_EQ((std::vector<LONG>{ERROR_FILE_NOT_FOUND, 0, ERROR_ACCESS_DENIED, 0, ERROR_FILE_NOT_FOUND, 0}),
            (std::vector<LONG>{RegDeleteValueA(key_, "none"), SetText(key_, "a", "ok"), RegDeleteKeyA(key_, "Gone"),
                               SetText(key_, "b", "ok"), RegOpenKeyExA(key_, "none", 0, KEY_READ, &key),
                               SetText(key_, "c", "ok")}));
  ASSERT_TRUE(CommitTransaction(transaction_));
  EXPECT_EQ("a=ok;b=ok;c=ok;old=1;[Gone]{x=2;[Deeper]{}}", Committed());
}

TEST_F(RegistryTransaction, BothHivesCommitTogether) {
  HKEY machine = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                   &machine, &disposition, transaction_, nullptr));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, SetText(machine, "m", "1"));
  ASSERT_EQ(ERROR_SUCCESS, SetText(key_, "u", "1"));
  EXPECT_EQ("<missing>", Committed(HKEY_LOCAL_MACHINE));
  EXPECT_TRUE(OtherProcessReads("<missing>", HKEY_LOCAL_MACHINE));
  ASSERT_TRUE(CommitTransaction(transaction_));
  EXPECT_EQ("m=1;", Committed(HKEY_LOCAL_MACHINE));
  EXPECT_EQ("old=1;u=1;[Gone]{x=2;}", Committed());
  RegCloseKey(machine);
}

// Threads share a hive, and the transaction's connection one call at a time.
TEST_F(RegistryTransaction, ThreadsWriteIntoOneTransactionAndBesideIt) {
  constexpr int kThreads = 4, kValues = 50;
  std::vector<std::thread> threads;
  std::vector<LONG> failures(kThreads, ERROR_SUCCESS);
  HKEY outside = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Outside");
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      HKEY sub = CreateKey(t % 2 ? outside : key_, ("T" + std::to_string(t)).c_str());
      for (int v = 0; v < kValues && failures[t] == ERROR_SUCCESS; ++v)
        failures[t] = SetText(sub, "v" + std::to_string(100 + v), "x");
      RegCloseKey(sub);
    });
  }
  for (std::thread& thread : threads) thread.join();
  RegCloseKey(outside);
  EXPECT_EQ(std::vector<LONG>(kThreads, ERROR_SUCCESS), failures);
  EXPECT_EQ(kSeeded, Committed());
  ASSERT_TRUE(CommitTransaction(transaction_));
  std::string values;  // named so that they list in the order written
  for (int v = 0; v < kValues; ++v) values += "v" + std::to_string(100 + v) + "=x;";
  std::string all = Committed() + TreeAt(HKEY_LOCAL_MACHINE, "Software\\Outside");
  for (int t = 0; t < kThreads; ++t)
    EXPECT_NE(std::string::npos, all.find("[T" + std::to_string(t) + "]{" + values + "}"));
}

}  // namespace
