// CRegistryWatcher and CFolderWatcher: what the watchers add to the change
// waits (the waits themselves, from this process and another: notify_test).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "korvex/registry.h"
#include "tests/support/message_pump.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/target.h"
#include "tests/support/window_thread.h"

namespace {

const UINT kChanged = WM_APP + 7;
const DWORD kValues = REG_NOTIFY_CHANGE_LAST_SET;
const DWORD kFileNames = FILE_NOTIFY_CHANGE_FILE_NAME;

struct Receiver;
std::map<HWND, Receiver*> g_receivers;

// A window on this thread that counts the change messages it gets.
struct Receiver {
  Receiver() : window(CreateTestWindow(Procedure)) { g_receivers[window] = this; }
  ~Receiver() {
    g_receivers.erase(window);
    if (IsWindow(window)) DestroyWindow(window);
  }

  bool WaitBeyond(int seen, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return PumpMessagesUntil([&] { return count > seen; }, limit);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = g_receivers.find(window);
    if (message != kChanged || found == g_receivers.end()) return DefWindowProcA(window, message, wParam, lParam);
    Receiver* receiver = found->second;
    ++receiver->count;
    receiver->plainParameters &= wParam == 0 && lParam == 0;
    if (receiver->onChange) receiver->onChange();
    return 0;
  }

  HWND window;
  int count = 0;
  bool plainParameters = true;
  std::function<void()> onChange;
};

// The worker handle is the only sign of a worker that ended by itself.
template <class Watcher>
struct Observed : Watcher {
  bool Watching() const { return this->m_hThread != NULL; }
  bool WorkerEnded() const { return Watching() && WaitForSingleObject(this->m_hThread, 0) == WAIT_OBJECT_0; }
  // Members as a watch of the window would leave them, without a worker.
  void AddressTo(HWND window) {
    this->m_hWnd = window;
    this->m_nMessage = kChanged;
  }
};

void SetValue(HKEY key) {
  static std::atomic<DWORD> counter{0};
  EXPECT_EQ(ERROR_SUCCESS, SetNumber(key, "value", ++counter));
}

// A registry worker arms after BeginWatch returns, and every worker re-arms
// only once its message was handled: repeat the change until it is heard.
bool ChangeUntilHeard(Receiver& receiver, const std::function<void()>& change) {
  const int seen = receiver.count;
  for (int attempt = 0; attempt < 10; ++attempt) {
    change();
    if (receiver.WaitBeyond(seen, std::chrono::seconds(2))) return true;
  }
  return false;
}

void AddFile(const std::string& folder) {
  static std::atomic<int> files{0};
  std::ofstream(folder + "/" + std::to_string(++files));
}

}  // namespace

// A change below counts only with the subtree flag. The subfolder comes after
// BeginWatch: some platforms watch only subfolders they saw appear.
TEST(Watchers, ChangesBelowCountOnlyWithTheSubtreeFlag) {
  for (bool registry : {true, false}) {
    for (int subtree : {1, 0}) {
      SCOPED_TRACE(std::string(registry ? "key/" : "folder/") + std::to_string(subtree));
      ScratchKey key;
      const std::string folder = NewFolder(), subfolder = folder + "/inner";
      HKEY inner = CreateKey(key.get(), "inner");
      Receiver receiver, witness;
      CRegistryWatcher keys, keyWitness;
      CFolderWatcher files, fileWitness;
      ASSERT_EQ(1, registry ? keys.BeginWatch(key.get(), subtree, receiver.window, kChanged, kValues)
                            : files.BeginWatch(folder.c_str(), subtree, receiver.window, kChanged, kFileNames));
      ASSERT_TRUE(CreateDirectoryA(subfolder.c_str(), nullptr));
      auto below = [&] { registry ? SetValue(inner) : AddFile(subfolder); };
      if (subtree) {
        EXPECT_TRUE(ChangeUntilHeard(receiver, below));
      } else {
        // A witness of the inner key or folder itself shows that the change below happened.
        ASSERT_EQ(1, registry ? keyWitness.BeginWatch(inner, 0, witness.window, kChanged, kValues)
                              : fileWitness.BeginWatch(subfolder.c_str(), 0, witness.window, kChanged, kFileNames));
        ASSERT_TRUE(ChangeUntilHeard(receiver, [&] { registry ? SetValue(key.get()) : AddFile(folder); }));
        ASSERT_TRUE(ChangeUntilHeard(witness, below));
        EXPECT_FALSE(receiver.WaitBeyond(1, std::chrono::milliseconds(300)));  // nothing came from below
      }
      EXPECT_TRUE(receiver.plainParameters);
      keyWitness.EndWatch();
      RegCloseKey(inner);
    }
  }
}

// A refused start changes nothing: the first window still gets the messages.
// Its window gone, a worker keeps waiting (and sending nothing) until EndWatch.
TEST(Watchers, BeginWatchRefusesASecondStartAndOutlivesItsWindowUntilEndWatch) {
  ScratchKey key;
  std::string folder = NewFolder();
  Receiver first, second;
  Observed<CRegistryWatcher> registry;
  Observed<CFolderWatcher> files;
  CFolderWatcher witness;
  registry.EndWatch();
  files.EndWatch();

  EXPECT_EQ(0, files.BeginWatch((folder + "/missing").c_str(), 0, first.window, kChanged, kFileNames));
  EXPECT_EQ(0, files.BeginWatch(nullptr, 0, first.window, kChanged, kFileNames));
  EXPECT_FALSE(files.Watching());
  ASSERT_EQ(1, files.BeginWatch(folder.c_str(), 0, first.window, kChanged, kFileNames));
  ASSERT_EQ(1, registry.BeginWatch(key.get(), 0, first.window, kChanged, kValues));
  EXPECT_EQ(0, files.BeginWatch(folder.c_str(), 0, second.window, kChanged + 1, kFileNames));
  EXPECT_EQ(0, registry.BeginWatch(key.get(), 0, second.window, kChanged + 1, kValues));
  AddFile(folder);
  ASSERT_TRUE(first.WaitBeyond(0));
  ASSERT_TRUE(ChangeUntilHeard(first, [&] { SetValue(key.get()); }));
  EXPECT_EQ(0, second.count);

  DestroyWindow(first.window);
  const int heard = first.count;
  ASSERT_EQ(1, witness.BeginWatch(folder.c_str(), 0, second.window, kChanged, kFileNames));
  for (int change = 0; change < 3; ++change) {
    ASSERT_TRUE(ChangeUntilHeard(second, [&] {
      SetValue(key.get());
      AddFile(folder);
    }));
  }
  EXPECT_FALSE(registry.WorkerEnded() || files.WorkerEnded());
  EXPECT_EQ(heard, first.count);

  for (int round = 0; round < 2; ++round) registry.EndWatch(), files.EndWatch();
  EXPECT_FALSE(registry.Watching() || files.Watching());
  EXPECT_EQ(1, registry.BeginWatch(key.get(), 0, second.window, kChanged, kValues));
  EXPECT_EQ(1, files.BeginWatch(folder.c_str(), 0, second.window, kChanged, kFileNames));
}

// Watchers destroyed from the handler under a storm of changes, while the
// worker waits in SendMessageA: after the messages under way, nothing,
// while a witness keeps hearing the storm.
TEST(Watchers, DestroyedDuringAChangeStorm) {
  ScratchKey key;
  std::string folder = NewFolder();
  Receiver receiver, witness;
  auto registry = std::make_unique<CRegistryWatcher>();
  auto files = std::make_unique<CFolderWatcher>();
  CFolderWatcher witnessWatcher;
  ASSERT_EQ(1, registry->BeginWatch(key.get(), 0, receiver.window, kChanged, kValues));
  ASSERT_EQ(1, files->BeginWatch(folder.c_str(), 0, receiver.window, kChanged, kFileNames));
  ASSERT_EQ(1, witnessWatcher.BeginWatch(folder.c_str(), 0, witness.window, kChanged, kFileNames));
  receiver.onChange = [&] {
    if (receiver.count == 20) registry.reset(), files.reset();
  };
  std::atomic<bool> storming{true};
  std::thread storm([&] {
    while (storming) SetValue(key.get()), AddFile(folder);
  });
  EXPECT_TRUE(receiver.WaitBeyond(19));
  const int atEnd = receiver.count;
  EXPECT_TRUE(witness.WaitBeyond(witness.count + 10));
  storming = false;
  storm.join();
  EXPECT_LE(receiver.count, atEnd + 2);
}

// Assignment ends the target's own watch before it takes the source's members:
// a worker left running would read them and report to the source's window.
TEST(Watchers, AssignmentEndsTheTargetsOwnWatchFirst) {
  for (bool registry : {true, false}) {
    SCOPED_TRACE(registry ? "key" : "folder");
    ScratchKey key;
    const std::string folder = NewFolder();
    Receiver before, after, witness;
    Observed<CRegistryWatcher> keys, keySource, keyWitness;
    Observed<CFolderWatcher> files, fileSource, fileWitness;
    auto change = [&] { registry ? SetValue(key.get()) : AddFile(folder); };
    ASSERT_EQ(1, registry ? keys.BeginWatch(key.get(), 0, before.window, kChanged, kValues)
                          : files.BeginWatch(folder.c_str(), 0, before.window, kChanged, kFileNames));
    ASSERT_TRUE(ChangeUntilHeard(before, change));
    keySource.AddressTo(after.window);
    fileSource.AddressTo(after.window);
    keys = keySource;
    files = fileSource;
    EXPECT_FALSE(keys.Watching() || files.Watching());
    ASSERT_EQ(1, registry ? keyWitness.BeginWatch(key.get(), 0, witness.window, kChanged, kValues)
                          : fileWitness.BeginWatch(folder.c_str(), 0, witness.window, kChanged, kFileNames));
    ASSERT_TRUE(ChangeUntilHeard(witness, change));
    EXPECT_FALSE(after.WaitBeyond(0, std::chrono::milliseconds(300)));
  }
}

// The watched key deleted, by the handler or while the worker waits: the
// worker ends without a message.
TEST(CRegistryWatcher, WorkerEndsQuietlyWhenTheWatchedKeyIsDeleted) {
  for (bool byHandler : {true, false}) {
    SCOPED_TRACE(byHandler ? "by the handler" : "during the wait");
    ScratchKey key;
    HKEY doomed = CreateKey(key.get(), "doomed");
    Receiver receiver;
    auto remove = [&] { EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key.get(), "doomed")); };
    if (byHandler) receiver.onChange = remove;
    Observed<CRegistryWatcher> watcher;
    ASSERT_EQ(1, watcher.BeginWatch(doomed, 1, receiver.window, kChanged, kValues | REG_NOTIFY_CHANGE_NAME));
    ASSERT_TRUE(ChangeUntilHeard(receiver, [&] { SetValue(doomed); }));
    if (!byHandler) remove();
    // Wine leaves a wait on a deleted key going: the worker stays, silent.
    if (byHandler || !kBuiltForWindows) {
      EXPECT_TRUE(PumpMessagesUntil([&] { return watcher.WorkerEnded(); }));  // and still watching until EndWatch
    }
    watcher.EndWatch();
    EXPECT_EQ("1/0", std::to_string(receiver.count) + "/" + std::to_string(watcher.Watching()));
    RegCloseKey(doomed);
  }
}
