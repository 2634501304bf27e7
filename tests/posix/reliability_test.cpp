// The store under stress: many writers at once, writers killed mid-transaction,
// and hive and profile files that are damaged or cannot be written: a read-only
// folder, another user, a full disk (RLIMIT_FSIZE with SIGXFSZ ignored).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "korvex/korvex.h"
#include "korvex/posix/transactions.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

// With AddressSanitizer's default 256 MB quarantine, forked writers churning
// through SQLite's allocations land on fresh copy-on-write pages: ten times slower.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

namespace {

std::string Numbered(const char* prefix, int writer, int index) {
  return prefix + std::to_string(writer) + "-" + std::to_string(index);
}

bool HasNumber(HKEY key, const std::string& name, DWORD expected) {
  DWORD number = 0, size = sizeof number, type = 0;
  return RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
             ERROR_SUCCESS &&
         type == REG_DWORD && number == expected;
}

// The writers end in _exit, with no cleanup: every write they were answered must
// be in the files. (Killed writers: TransactedRenameKilledAtRandomPoints.)
TEST(Reliability, EightWritersIntoOneKeyAndOneProfileLoseNothing) {
  ScratchFolder scratch;
  constexpr int kWriters = 8, kValues = 2000, kKeys = 50;
  std::string file = scratch / "crowd.ini";
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Crowd");
  int gate[2];  // the writers wait for its end, so that they all run at once
  ASSERT_EQ(0, pipe(gate));
  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer)
    writers.push_back(StartChild([&] {
      char ignored;
      HKEY own = nullptr;
      close(gate[1]);
      if (read(gate[0], &ignored, 1) != 0 || RegOpenKeyExA(HKEY_CURRENT_USER, "Crowd", 0, KEY_WRITE, &own)) return 1;
      for (int i = 0; i < kValues; ++i)
        if (SetNumber(own, Numbered("v", writer, i), static_cast<DWORD>(i)) != ERROR_SUCCESS) return 2;
      for (int i = 0; i < kKeys; ++i)
        if (!WritePrivateProfileStringA(writer % 2 ? "Odd" : "Even", Numbered("k", writer, i).c_str(),
                                        std::to_string(i).c_str(), file.c_str()))
          return 3;
      return 0;
    }));
  close(gate[0]);
  close(gate[1]);
  for (pid_t writer : writers) ASSERT_EQ(0, ChildExitCode(writer));
  int missing = 0;
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kValues; ++i) missing += !HasNumber(key, Numbered("v", writer, i), static_cast<DWORD>(i));
    for (int i = 0; i < kKeys; ++i)
      missing += GetPrivateProfileIntA(writer % 2 ? "Odd" : "Even", Numbered("k", writer, i).c_str(), -1,
                                       file.c_str()) != static_cast<UINT>(i);
  }
  EXPECT_EQ(0, missing);
  RegCloseKey(key);
}

// In a child: renames Moving\<from> to Moving\<to> in one transaction.
int RenameInTransaction(const std::string& from, const std::string& to) {
  HANDLE txn = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  HKEY moving = nullptr;
  if (RegOpenKeyTransactedA(HKEY_CURRENT_USER, "Moving", 0, KEY_ALL_ACCESS, &moving, txn, nullptr) != ERROR_SUCCESS)
    return 1;
  CRegistry parent;
  parent.Attach(moving);
  if (!parent.RenameKey(from.c_str(), to.c_str())) return 2;
  return CommitTransaction(txn) ? 0 : 3;
}

TEST(Reliability, TransactedRenameKilledAtRandomPointsIsAllOrNothing) {
  ScratchFolder scratch;
  constexpr int kValues = 1000, kRuns = 50;
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Moving\\A");
  for (int i = 0; i < kValues; ++i)
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, Numbered("v", 0, i), std::to_string(i).c_str()));
  RegCloseKey(key);
  const std::string whole = TreeAt(HKEY_CURRENT_USER, "Moving\\A"), missing = "<missing>";
  // A whole rename, unkilled, sets the span the kills fall in.
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, RunInChild([] { return RenameInTransaction("A", "B"); }));
  auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  std::mt19937 random(23);
  std::uniform_int_distribution<long> delay(0, span.count());
  std::string at = "B", other = "A";
  int killed = 0;
  for (int run = 0; run < kRuns; ++run) {
    pid_t child = StartChild([&] { return RenameInTransaction(at, other); });
    usleep(static_cast<useconds_t>(delay(random)));
    kill(child, SIGKILL);
    killed += ChildExitCode(child) == -1;
    std::string stayed = TreeAt(HKEY_CURRENT_USER, "Moving\\" + at),
                moved = TreeAt(HKEY_CURRENT_USER, "Moving\\" + other);
    ASSERT_TRUE((stayed == whole && moved == missing) || (stayed == missing && moved == whole)) << "run " << run;
    if (moved == whole) std::swap(at, other);
  }
  EXPECT_GT(killed, 0);
  // The dead writers' locks went with them.
  EXPECT_EQ(0, RunInChild([&] { return RenameInTransaction(at, other); }));
}

// A writer killed between its two change counts leaves them apart, which turns
// every reader's marks off; the next process that finds no write under way
// evens them.
TEST(Reliability, WriterKilledBetweenTheChangeCountsIsForgottenByTheNextProcess) {
  ScratchFolder scratch;
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t writer = StartChild([&] {
    alarm(60);
    HANDLE txn = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
    HKEY key = nullptr;
    char begun = RegCreateKeyTransactedA(HKEY_CURRENT_USER, "Doomed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                         nullptr, txn, nullptr) == ERROR_SUCCESS;
    if (write(ready[1], &begun, 1) != 1) return 1;
    pause();
    return 0;
  });
  auto counts = [&] {  // begun and ended, at the start of the file
    std::string page = ReadFileBytes(scratch / "user.db-writes");
    uint64_t count[2] = {};
    if (page.size() >= sizeof count) memcpy(count, page.data(), sizeof count);
    return std::make_pair(count[0], count[1]);
  };
  char begun = 0;
  ASSERT_EQ(1, read(ready[0], &begun, 1));
  ASSERT_EQ(1, begun);
  // A process that comes while the writer lives leaves its count alone.
  auto later = [] { return RunInChild([] { return TreeAt(HKEY_CURRENT_USER, "Doomed") == "<missing>" ? 0 : 1; }); };
  EXPECT_EQ(0, later());
  EXPECT_NE(counts().first, counts().second);
  kill(writer, SIGKILL);
  ASSERT_EQ(-1, ChildExitCode(writer));
  ASSERT_NE(counts().first, counts().second);
  EXPECT_EQ(0, later());
  EXPECT_EQ(counts().first, counts().second);
  close(ready[0]);
  close(ready[1]);
}

TEST(Reliability, DamagedHiveFilesGiveErrors) {
  ScratchFolder scratch;
  HKEY key = nullptr;
  {
    std::ofstream garbage(scratch / "user.db");
    for (int i = 0; i < 1000; ++i) garbage << "not a registry hive ";
  }
  DWORD size = 0;
  EXPECT_EQ(
      std::vector<LONG>(3, ERROR_BADDB),
      (std::vector<LONG>{RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                         RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, &size),
                         SetNumber(HKEY_CURRENT_USER, "v", 1)}));
  RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "x"));  // the other hive is unaffected

  // A hive whose pages after the first were overwritten: made by another process,
  // so that this one first opens it damaged.
  setenv("KORVEX_REGISTRY_DIR", (scratch / "pages").c_str(), 1);
  ASSERT_EQ(0, RunInChild([] {
              HKEY made = CreateKey(HKEY_CURRENT_USER, "Many");
              // Enough to pass a checkpoint, so the pages are in the file itself.
              for (int i = 0; i < 600; ++i)
                if (SetText(made, Numbered("v", 0, i), std::string(1000, 'b').c_str()) != ERROR_SUCCESS) return 2;
              return int(RegCloseKey(made));
            }));
  std::string hive = scratch / "pages/user.db";
  std::remove((hive + "-wal").c_str());
  std::remove((hive + "-shm").c_str());
  auto length = std::filesystem::file_size(hive);
  ASSERT_GT(length, 8192u);
  std::fstream(hive, std::ios::in | std::ios::out | std::ios::binary).seekp(4096) << std::string(length - 4096, '\xAB');
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_CURRENT_USER, "Many", 0, KEY_READ, &key));

  // A hive path that is a folder cannot be opened.
  setenv("KORVEX_REGISTRY_DIR", (scratch / "folder").c_str(), 1);
  std::filesystem::create_directories(scratch / "folder/user.db");
  EXPECT_EQ(ERROR_CANTOPEN, RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key));
}

// A machine hive that its owner wrote and everyone may read: another user reads
// it, and every write of that user is refused as Win32 refuses it. The owner's
// user hive is there but closed to them.
TEST(Reliability, MachineHiveIsReadableByEveryoneAndWritableByItsOwner) {
  ScratchFolder scratch;
  chmod(scratch.path().c_str(), 0755);
  // The owner's user hives, in this folder and in a closed one.
  for (std::string folder : {scratch / "closed", scratch.path()}) {
    setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
    RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Software"));
  }
  const LONG userHive = geteuid() == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  // Written by another process, which leaves no open connection behind.
  ASSERT_EQ(0, RunInChild([] {
              return SetNumber(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Vendor"), "v", 7) == ERROR_SUCCESS ? 0 : 2;
            }));
  std::string hive = scratch / "machine.db";
  // Root reads anything: the child gives up root; anyone else loses write access.
  ASSERT_EQ(0, chmod(hive.c_str(), geteuid() == 0 ? 0644 : 0444));
  EXPECT_EQ(0, RunInChild([&] {
              BecomeUnprivileged();
              HKEY reader = nullptr, writer = nullptr;
              if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ, &reader) != ERROR_SUCCESS ||
                  !HasNumber(reader, "v", 7))
                return 1;
              std::vector<LONG> writes{
                  SetNumber(HKEY_LOCAL_MACHINE, "new", 1),
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_WRITE, &writer),
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Other", 0, nullptr, 0, KEY_READ, nullptr, &writer, nullptr),
                  RegDeleteValueA(HKEY_LOCAL_MACHINE, "v"), RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor")};
              if (writes != std::vector<LONG>(5, ERROR_ACCESS_DENIED) || !HasNumber(reader, "v", 7)) return 2;
              for (std::string folder : {scratch.path(), scratch / "closed"}) {
                setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
                if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &writer) != userHive) return 3;
              }
              return 0;
            }));
}

// Old\\Deep gets 300 values of 4000 bytes, more than a full disk lets through; gives the tree.
std::string BuildOldData(const std::string& ini) {
  HKEY deep = CreateKey(HKEY_CURRENT_USER, "Software\\Kept\\Old\\Deep");
  for (int i = 0; i < 300; ++i)
    EXPECT_EQ(ERROR_SUCCESS, SetText(deep, "v" + std::to_string(i), std::string(4000, 'b').c_str()));
  RegCloseKey(deep);
  COptionStorage store;
  EXPECT_EQ(1, store.OpenIniFile(ini.c_str()));
  store.SetValue("text", "old");
  return TreeAt(HKEY_CURRENT_USER, "Software\\Kept");
}

// 0 when the old data reads back whole.
int CheckOldData(const std::string& ini, const std::string& old) {
  COptionStorage store;
  if (TreeAt(HKEY_CURRENT_USER, "Software\\Kept") != old || !store.OpenIniFile(ini.c_str())) return 10;
  return CString("old") == store.GetValue("text", "gone") ? 0 : 11;
}

// In the child, with the files unwritable: 0 when every change fails cleanly.
int TryChanges(const std::string& ini, const std::string& old) {
  CRegistry kept;
  // Without a hive it can open, a read-only folder may refuse the key outright.
  if (kept.Open(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_ALL_ACCESS)) {
    std::string big(1 << 20, 'x');
    if (kept.SetValue("big", reinterpret_cast<const unsigned char*>(big.data()),
                      static_cast<unsigned long>(big.size())))
      return 1;
    if (kept.RenameKey("Old", "New")) return 2;
    CRegistry deep;
    if (deep.Open(&kept, "Old\\Deep", 0, KEY_ALL_ACCESS) && deep.DeleteAllValues()) return 3;
  }
  COptionStorage store;
  if (!store.OpenIniFile(ini.c_str())) return 4;
  // Larger than a full disk lets through: the file keeps its old text.
  store.SetValue("text", std::string(70 * 1024, 'n').c_str());
  return CheckOldData(ini, old);
}

// CRegistry, RenameKey and COptionStorage: every call answers, old data stays.
TEST(StorageFailures, UnwritableFilesKeepTheOldData) {
  for (bool fullDisk : {false, true}) {
    SCOPED_TRACE(fullDisk ? "full disk" : "read-only folder");
    ScratchFolder scratch;
    std::string ini = scratch / "options.ini";
    std::string old = BuildOldData(ini);
    // Unlike Win32, a rename needs KEY_CREATE_SUB_KEY on the parent handle.
    CRegistry reader;
    ASSERT_EQ(1, reader.Open(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_READ));
    EXPECT_EQ(0, reader.RenameKey("Old", "New"));
    if (!fullDisk) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.path()))
        chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
      chmod(scratch.path().c_str(), 0555);
    }
    EXPECT_EQ(0, RunInChild([&] {
                struct rlimit limit = {64 * 1024, 64 * 1024};
                if (fullDisk && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0))
                  return 91;
                if (fullDisk) return TryChanges(ini, old);
                BecomeUnprivileged();
                // No machine hive to read there: the key is missing, as it would be on Windows.
                HKEY key = nullptr;
                if (!RegCreateKeyExA(HKEY_LOCAL_MACHINE, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ||
                    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "x", 0, KEY_READ, &key) != ERROR_FILE_NOT_FOUND)
                  return 92;
                return TryChanges(ini, old);
              }));
    chmod(scratch.path().c_str(), 0755);
    EXPECT_EQ(0, CheckOldData(ini, old));
  }
}

}  // namespace
