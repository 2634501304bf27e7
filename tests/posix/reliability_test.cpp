// The store under stress: many writers at once, writers killed mid-stream, and
// hive files that are damaged or cannot be written.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "korvex/korvex.h"
#include "korvex/posix/transactions.h"
#include "tests/posix/registry_scratch.h"

// Forked writers churn through SQLite's allocations; with AddressSanitizer's
// default 256 MB quarantine each one lands on fresh copy-on-write pages, which
// makes the crowds ten times slower without finding anything more.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

namespace {

constexpr int kWriters = 8;

std::string Numbered(const char* prefix, int writer, int index) {
  return prefix + std::to_string(writer) + "-" + std::to_string(index);
}

LONG SetNumber(HKEY key, const std::string& name, DWORD number) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

bool HasNumber(HKEY key, const std::string& name, DWORD expected) {
  DWORD number = 0, size = sizeof number, type = 0;
  return RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
             ERROR_SUCCESS &&
         type == REG_DWORD && number == expected;
}

// Starts writers that block until Release(), so that they all run at once.
class WriterCrowd {
public:
  template <typename Body>
  void Start(Body body) {
    int gate[2];
    ASSERT_EQ(0, pipe(gate));
    for (int writer = 0; writer < kWriters; ++writer) {
      pid_t child = fork();
      if (child == 0) {
        close(gate[1]);
        char ignored;
        while (read(gate[0], &ignored, 1) > 0) {
        }
        _exit(body(writer));
      }
      children_.push_back(child);
    }
    close(gate[0]);
    gate_ = gate[1];
  }
  // Opens the gate and gives the number of writers that failed.
  int ReleaseAndWait() {
    close(gate_);
    int failed = 0;
    for (pid_t child : children_) {
      int status = 0;
      waitpid(child, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    return failed;
  }

private:
  std::vector<pid_t> children_;
  int gate_ = -1;
};

TEST(Reliability, EightRegistryWritersIntoOneKeyLoseNothing) {
  ScratchFolder scratch;
  constexpr int kValues = 2000;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, "Crowd", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  WriterCrowd crowd;
  crowd.Start([&](int writer) {
    HKEY own = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Crowd", 0, KEY_WRITE, &own) != ERROR_SUCCESS) return 1;
    for (int i = 0; i < kValues; ++i)
      if (SetNumber(own, Numbered("v", writer, i), static_cast<DWORD>(i)) != ERROR_SUCCESS) return 2;
    return 0;
  });
  ASSERT_EQ(0, crowd.ReleaseAndWait());
  int missing = 0;
  for (int writer = 0; writer < kWriters; ++writer)
    for (int i = 0; i < kValues; ++i) missing += !HasNumber(key, Numbered("v", writer, i), static_cast<DWORD>(i));
  EXPECT_EQ(0, missing);
  RegCloseKey(key);
}

TEST(Reliability, ThreadsShareAHiveSafely) {
  ScratchFolder scratch;
  constexpr int kValues = 300;
  std::vector<std::thread> threads;
  std::atomic<int> failed{0};
  for (int writer = 0; writer < 4; ++writer)
    threads.emplace_back([&, writer] {
      HKEY key = nullptr;
      std::string path = "Threads\\" + std::to_string(writer);
      if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return failed.fetch_add(1), void();
      for (int i = 0; i < kValues; ++i)
        if (SetNumber(key, Numbered("t", writer, i), i) || !HasNumber(key, Numbered("t", writer, i), i))
          failed.fetch_add(1);
      RegCloseKey(key);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, failed.load());
}

TEST(Reliability, EightProfileWritersIntoOneFileLoseNothing) {
  ScratchFolder scratch;
  constexpr int kKeys = 50;
  std::string file = scratch / "crowd.ini";
  WriterCrowd crowd;
  crowd.Start([&](int writer) {
    for (int i = 0; i < kKeys; ++i)
      if (!WritePrivateProfileStringA(writer % 2 ? "Odd" : "Even", Numbered("k", writer, i).c_str(),
                                      std::to_string(i).c_str(), file.c_str()))
        return 1;
    return 0;
  });
  ASSERT_EQ(0, crowd.ReleaseAndWait());
  int missing = 0;
  for (int writer = 0; writer < kWriters; ++writer)
    for (int i = 0; i < kKeys; ++i)
      missing += GetPrivateProfileIntA(writer % 2 ? "Odd" : "Even", Numbered("k", writer, i).c_str(), -1,
                                       file.c_str()) != static_cast<UINT>(i);
  EXPECT_EQ(0, missing);
}

// Runs a writer that reports each write that returned through a pipe, kills it
// with SIGKILL after `before` reports, and gives every index it reported.
template <typename Write>
int KillWriterMidStream(int before, Write write) {
  int reports[2];
  if (pipe(reports) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(reports[0]);
    for (int i = 0;; ++i) {
      if (!write(i)) _exit(1);
      if (::write(reports[1], &i, sizeof i) != sizeof i) _exit(2);
    }
  }
  close(reports[1]);
  int last = -1, index = 0;
  bool killed = false;
  while (read(reports[0], &index, sizeof index) == sizeof index) {
    last = index;
    if (!killed && last + 1 >= before) {
      kill(child, SIGKILL);
      killed = true;
    }
  }
  close(reports[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? last : -1;
}

TEST(Reliability, RegistryWriterKilledMidStreamLosesNoReturnedWrite) {
  ScratchFolder scratch;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, "Stream", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  int last = KillWriterMidStream(500, [](int i) {
    static HKEY own = nullptr;
    if (!own && RegOpenKeyExA(HKEY_CURRENT_USER, "Stream", 0, KEY_WRITE, &own) != ERROR_SUCCESS) return false;
    return SetNumber(own, Numbered("s", 0, i), static_cast<DWORD>(i)) == ERROR_SUCCESS;
  });
  ASSERT_GE(last, 499);
  int missing = 0;
  for (int i = 0; i <= last; ++i) missing += !HasNumber(key, Numbered("s", 0, i), static_cast<DWORD>(i));
  EXPECT_EQ(0, missing);
  // The hive takes writes again.
  EXPECT_EQ(ERROR_SUCCESS, SetNumber(key, "after", 1));
  RegCloseKey(key);
}

// The values of Moving\<name> that hold their numbers; -1 when the key is missing.
int IntactValues(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, ("Moving\\" + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD values = 0;
  int intact = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr) == ERROR_SUCCESS)
    for (DWORD i = 0; i < values; ++i) intact += HasNumber(key, Numbered("v", 0, i), i);
  RegCloseKey(key);
  return intact == static_cast<int>(values) ? intact : -2;
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
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, "Moving\\A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  for (int i = 0; i < kValues; ++i) ASSERT_EQ(ERROR_SUCCESS, SetNumber(key, Numbered("v", 0, i), i));
  RegCloseKey(key);
  // A whole rename, unkilled, sets the span the kills fall in.
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, RunInChild([] { return RenameInTransaction("A", "B"); }));
  auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  std::mt19937 random(23);
  std::uniform_int_distribution<long> delay(0, span.count());
  std::string at = "B", other = "A";
  int killed = 0;
  for (int run = 0; run < kRuns; ++run) {
    pid_t child = fork();
    if (child == 0) _exit(RenameInTransaction(at, other));
    usleep(static_cast<useconds_t>(delay(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    killed += WIFSIGNALED(status);
    int stayed = IntactValues(at), moved = IntactValues(other);
    ASSERT_TRUE((stayed == kValues && moved == -1) || (stayed == -1 && moved == kValues))
        << "run " << run << ": " << stayed << " values stayed, " << moved << " moved";
    if (moved == kValues) std::swap(at, other);
  }
  EXPECT_GT(killed, 0);
}

TEST(Reliability, ProfileWriterKilledMidStreamLeavesWholeFile) {
  ScratchFolder scratch;
  std::string file = scratch / "stream.ini";
  int last = KillWriterMidStream(150, [&](int i) {
    return WritePrivateProfileStringA("S", Numbered("k", 0, i).c_str(), std::to_string(i).c_str(), file.c_str()) !=
           FALSE;
  });
  ASSERT_GE(last, 149);
  std::ifstream in(file);
  std::string line;
  std::regex wellFormed("\\[S\\]\r|k0-[0-9]+=[0-9]+\r");
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_TRUE(std::regex_match(line, wellFormed)) << line;
  }
  EXPECT_GE(lines, last + 2);
  int missing = 0;
  for (int i = 0; i <= last; ++i)
    missing += GetPrivateProfileIntA("S", Numbered("k", 0, i).c_str(), -1, file.c_str()) != static_cast<UINT>(i);
  EXPECT_EQ(0, missing);
  EXPECT_TRUE(WritePrivateProfileStringA("S", "after", "1", file.c_str()));  // the lock was released
}

TEST(Reliability, DamagedHiveFilesGiveErrors) {
  ScratchFolder scratch;
  HKEY key = nullptr;
  {
    std::ofstream garbage(scratch / "user.db");
    for (int i = 0; i < 1000; ++i) garbage << "not a registry hive ";
  }
  EXPECT_EQ(ERROR_BADDB,
            RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  DWORD size = 0;
  EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(HKEY_CURRENT_USER, "v", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_BADDB, SetNumber(HKEY_CURRENT_USER, "v", 1));
  // The other hive is not affected.
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegCloseKey(key);

  // A hive whose pages after the first were overwritten: made by another process,
  // so that this one first opens it damaged.
  setenv("KORVEX_REGISTRY_DIR", (scratch / "pages").c_str(), 1);
  ASSERT_EQ(0, RunInChild([] {
              HKEY made = nullptr;
              if (RegCreateKeyExA(HKEY_CURRENT_USER, "Many", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) !=
                  ERROR_SUCCESS)
                return 1;
              // Enough to pass a checkpoint, so the pages are in the file itself.
              std::string block(1000, 'b');
              for (int i = 0; i < 600; ++i)
                if (RegSetValueExA(made, Numbered("v", 0, i).c_str(), 0, REG_BINARY,
                                   reinterpret_cast<const BYTE*>(block.data()), 1000) != ERROR_SUCCESS)
                  return 2;
              return RegCloseKey(made) == ERROR_SUCCESS ? 0 : 3;
            }));
  std::string hive = scratch / "pages/user.db";
  std::remove((hive + "-wal").c_str());
  std::remove((hive + "-shm").c_str());
  {
    std::fstream damage(hive, std::ios::in | std::ios::out | std::ios::binary);
    damage.seekp(0, std::ios::end);
    std::streamoff length = damage.tellp();
    ASSERT_GT(length, 8192);
    damage.seekp(4096);
    damage << std::string(static_cast<size_t>(length) - 4096, '\xAB');
  }
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_CURRENT_USER, "Many", 0, KEY_READ, &key));

  // A hive path that is a folder cannot be opened.
  setenv("KORVEX_REGISTRY_DIR", (scratch / "folder").c_str(), 1);
  std::filesystem::create_directories(scratch / "folder/user.db");
  EXPECT_EQ(ERROR_CANTOPEN, RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key));
}

// Root ignores permissions; a read-only folder is only read-only to others.
void BecomeUnprivileged() {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(90);
}

TEST(Reliability, ReadOnlyHiveFolderGivesErrors) {
  ScratchFolder scratch;
  std::string empty = scratch / "empty", filled = scratch / "filled";
  mkdir(empty.c_str(), 0755);
  setenv("KORVEX_REGISTRY_DIR", filled.c_str(), 1);
  ASSERT_EQ(0, RunInChild([] {
              HKEY made = nullptr;
              if (RegCreateKeyExA(HKEY_CURRENT_USER, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) !=
                  ERROR_SUCCESS)
                return 1;
              return SetNumber(made, "v", 7) == ERROR_SUCCESS ? 0 : 2;
            }));
  chmod(empty.c_str(), 0555);
  chmod(filled.c_str(), 0555);

  setenv("KORVEX_REGISTRY_DIR", empty.c_str(), 1);
  EXPECT_EQ(0, RunInChild([] {
              BecomeUnprivileged();
              HKEY key = nullptr;
              LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
              if (rc == ERROR_SUCCESS) return 1;
              // No hive to read: the key is missing, as it would be on Windows.
              return RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND ? 0 : 2;
            }));
}

// A machine hive that its owner wrote and everyone may read: another user reads
// it, and every write of that user is refused as Win32 refuses it.
TEST(Reliability, MachineHiveIsReadableByEveryoneAndWritableByItsOwner) {
  ScratchFolder scratch;
  chmod(scratch.path().c_str(), 0755);
  // Written by another process, which leaves no open connection behind.
  ASSERT_EQ(0, RunInChild([] {
              HKEY key = nullptr;
              if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr) != ERROR_SUCCESS)
                return 1;
              return SetNumber(key, "v", 7) == ERROR_SUCCESS ? 0 : 2;
            }));
  std::string hive = scratch / "machine.db";
  // Root reads anything: the child gives up root; anyone else loses write access.
  ASSERT_EQ(0, chmod(hive.c_str(), geteuid() == 0 ? 0644 : 0444));
  EXPECT_EQ(0, RunInChild([] {
              BecomeUnprivileged();
              HKEY reader = nullptr, writer = nullptr;
              if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_READ, &reader) != ERROR_SUCCESS)
                return 1;
              if (!HasNumber(reader, "v", 7)) return 2;
              struct {
                LONG rc;
                int code;
              } writes[] = {
                  {SetNumber(HKEY_LOCAL_MACHINE, "new", 1), 3},
                  {RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_WRITE, &writer), 4},
                  {RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Other", 0, nullptr, 0, KEY_READ, nullptr, &writer, nullptr), 5},
                  {RegDeleteValueA(HKEY_LOCAL_MACHINE, "v"), 6},
                  {RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor"), 7},
              };
              for (const auto& write : writes)
                if (write.rc != ERROR_ACCESS_DENIED) return write.code;
              return HasNumber(reader, "v", 7) ? 0 : 8;
            }));
}

}  // namespace
