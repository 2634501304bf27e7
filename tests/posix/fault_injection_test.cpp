// The registry over storage that fails: a VFS around SQLite's own fails its Nth
// read, write, sync, truncate, lock or open, for N = 1, 2, ... until a run meets
// no fault. Every call answers, and a fresh process finds an intact hive holding
// every write that succeeded, each transaction and rename whole or absent.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "korvex/korvex.h"
#include "korvex/posix/transactions.h"
#include "platform/posix/hive/schema.h"
#include "tests/posix/old_hive.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

using korvex::posix::hive::RegisterNameOrder;

// ---- The failing VFS, registered as the default in the workload's process.

sqlite3_vfs* g_real = nullptr;
long g_countdown = 0;  // the operations left before the fault; 0 when none is due
bool g_fired = false;
int g_writeError = SQLITE_FULL;  // writes fail as a full disk and as an I/O error, in turn

int Tick(int error) {
  if (g_countdown <= 0 || --g_countdown > 0) return SQLITE_OK;
  g_fired = true;
  return error;
}

// Our sqlite3_file, followed by the real VFS's.
sqlite3_file* Real(sqlite3_file* file) { return file + 1; }
const sqlite3_io_methods* M(sqlite3_file* file) { return Real(file)->pMethods; }

// The real file's method, failing first with `error` when it is the fault's turn.
template <auto method, int error = SQLITE_OK, typename... Args>
int Call(sqlite3_file* f, Args... args) {
  int rc = error ? Tick(error) : SQLITE_OK;
  return rc ? rc : (M(f)->*method)(Real(f), args...);
}

using Io = sqlite3_io_methods;
const sqlite3_io_methods kFaultyIo = {
    3,
    Call<&Io::xClose>,
    Call<&Io::xRead, SQLITE_IOERR_READ>,
    [](sqlite3_file* f, const void* data, int size, sqlite3_int64 at) {  // fails as g_writeError says
      int rc = Tick(g_writeError);
      return rc ? rc : M(f)->xWrite(Real(f), data, size, at);
    },
    Call<&Io::xTruncate, SQLITE_IOERR_TRUNCATE>,
    Call<&Io::xSync, SQLITE_IOERR_FSYNC>,
    Call<&Io::xFileSize>,
    Call<&Io::xLock, SQLITE_IOERR_LOCK>,
    Call<&Io::xUnlock>,
    Call<&Io::xCheckReservedLock>,
    Call<&Io::xFileControl>,
    Call<&Io::xSectorSize>,
    Call<&Io::xDeviceCharacteristics>,
    Call<&Io::xShmMap, SQLITE_IOERR_SHMMAP>,
    [](sqlite3_file* f, int offset, int n, int flags) {
      int rc = flags & SQLITE_SHM_LOCK ? Tick(SQLITE_IOERR_SHMLOCK) : SQLITE_OK;
      return rc ? rc : M(f)->xShmLock(Real(f), offset, n, flags);
    },
    [](sqlite3_file* f) { M(f)->xShmBarrier(Real(f)); },
    Call<&Io::xShmUnmap>,
    Call<&Io::xFetch>,
    Call<&Io::xUnfetch>,
};

int FaultyOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  file->pMethods = nullptr;
  int rc = Tick(SQLITE_IOERR);
  if (rc == SQLITE_OK) rc = g_real->xOpen(g_real, name, Real(file), flags, outFlags);
  if (rc == SQLITE_OK) file->pMethods = &kFaultyIo;
  return rc;
}

void InstallFaultyVfs(long failAt) {
  static sqlite3_vfs vfs;
  g_real = sqlite3_vfs_find(nullptr);
  vfs = *g_real;
  vfs.zName = "faulty";
  vfs.szOsFile = static_cast<int>(sizeof(sqlite3_file)) + g_real->szOsFile;
  vfs.xOpen = FaultyOpen;
  sqlite3_vfs_register(&vfs, 1);
  g_countdown = failAt;
  g_writeError = failAt % 2 ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  // A page cache that keeps almost nothing reads and spills inside
  // transactions too, so faults land in their middle, not only at the ends.
  sqlite3_soft_heap_limit64(1);
}

// ---- The workload: one table of calls, each 0 or a Win32 error.

constexpr int kTxnKeys = 50;
struct Typed {
  const char* name;
  DWORD type;
  const char* data;
  DWORD size;
};
const Typed kTyped[] = {
    {"sz", REG_SZ, "text", 5},
    {"expand", REG_EXPAND_SZ, "%HOME%\\x", 9},
    {"binary", REG_BINARY, "\0\1\2\3", 4},
    {"dword", REG_DWORD, "\1\2\3\4", 4},
    {"multi", REG_MULTI_SZ, "a\0bc\0", 6},
    {"qword", REG_QWORD, "\1\2\3\4\5\6\7\10", 8},
    {"none", REG_NONE, "", 0},
};
constexpr int kTypes = sizeof kTyped / sizeof kTyped[0];

// What the workload's process reports: each call's result, and what it listed.
struct Report {
  LONG rc[128];
  bool fired;
  char listed[2048];
};

LONG Set(HKEY root, const std::string& path, const Typed& value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc == ERROR_SUCCESS) rc = RegSetValueExA(key, value.name, 0, value.type, (const BYTE*)value.data, value.size);
  if (key) RegCloseKey(key);
  return rc;
}

LONG Renamed(HKEY parent, const char* from, const char* to) {
  CRegistry key;
  key.Attach(parent);
  LONG rc = key.RenameKey(from, to) ? ERROR_SUCCESS : ERROR_CANTWRITE;
  key.Detach();
  return rc;
}

// The values and subkeys of `path`; "" when the listing failed.
std::string List(const std::string& path) {
  std::string out = TreeAt(HKEY_CURRENT_USER, path, false);
  return out.find('<') == std::string::npos ? out : "";
}

// Step indices the checker reads.
enum { kRename = 2 * kTypes, kDelete, kTxnBegin, kTxnRename, kTxnFirstKey, kCommit = kTxnFirstKey + kTxnKeys, kList };
static_assert(kList < 128, "Report holds every step");

void RunWorkload(Report* report) {
  HANDLE txn = INVALID_HANDLE_VALUE;
  HKEY txnRoot = nullptr;
  int step = 0;
  auto record = [&](LONG rc) { report->rc[step++] = rc; };
  for (const Typed& value : kTyped) record(Set(HKEY_CURRENT_USER, "W\\Values", value));
  for (int i = 0; i < kTypes; ++i) record(Set(HKEY_CURRENT_USER, i % 2 ? "W\\Old\\Sub" : "W\\Old", kTyped[i]));
  record(Renamed(HKEY_CURRENT_USER, "W\\Old", "W\\New"));
  LONG rc = Set(HKEY_CURRENT_USER, "W\\Doomed\\Deep", kTyped[0]);
  record(rc == ERROR_SUCCESS ? RegDeleteTreeA(HKEY_CURRENT_USER, "W\\Doomed") : rc);
  // The transaction renames W\Values to W\Moved and adds 50 keys below W\Txn.
  txn = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  rc = txn == INVALID_HANDLE_VALUE ? GetLastError()
                                   : RegCreateKeyTransactedA(HKEY_CURRENT_USER, "W", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                             nullptr, &txnRoot, nullptr, txn, nullptr);
  record(rc);
  record(rc == ERROR_SUCCESS ? Renamed(txnRoot, "Values", "Moved") : rc);
  for (int i = 0; i < kTxnKeys; ++i)
    record(rc == ERROR_SUCCESS ? Set(txnRoot, "Txn\\k" + std::to_string(i), kTyped[i % kTypes]) : rc);
  record(rc != ERROR_SUCCESS ? rc : CommitTransaction(txn) ? ERROR_SUCCESS : GetLastError());
  if (txnRoot) RegCloseKey(txnRoot);
  if (txn != INVALID_HANDLE_VALUE) CloseHandle(txn);
  std::string listed = List("W");
  record(listed.empty() ? ERROR_CANTREAD : ERROR_SUCCESS);
  snprintf(report->listed, sizeof report->listed, "%s", listed.c_str());
}

// ---- The checker, in a fresh process with healthy storage: 0 when the hive is
// whole and consistent with what the calls answered, else the failed check.

enum Presence { kAbsent, kWhole, kEither };

// Whether the value at path reads back exact (kWhole), is missing (kAbsent), or either.
bool ValueIs(const std::string& path, const Typed& value, Presence presence) {
  BYTE data[16];
  DWORD type = 0, size = sizeof data;
  LONG rc = RegGetValueA(HKEY_CURRENT_USER, path.c_str(), value.name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size);
  bool exact = rc == ERROR_SUCCESS && type == value.type && size == value.size && !memcmp(data, value.data, size);
  bool missing = rc == ERROR_FILE_NOT_FOUND;
  return presence == kWhole ? exact : presence == kAbsent ? missing : exact || missing;
}

bool KeyExists(const std::string& path) { return TreeAt(HKEY_CURRENT_USER, path, false) != "<missing>"; }

bool Intact(const std::string& hive) {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  bool intact = sqlite3_open_v2(hive.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
                RegisterNameOrder(db) == SQLITE_OK &&
                sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
                sqlite3_step(stmt) == SQLITE_ROW && !strcmp((const char*)sqlite3_column_text(stmt, 0), "ok");
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return intact;
}

int Check(const std::string& hive, const Report& report) {
  if (!Intact(hive)) return 1;
  const LONG* rc = report.rc;
  auto acked = [&](int step) { return rc[step] == ERROR_SUCCESS ? kWhole : kEither; };
  // A commit that reported a failure may still have landed; then all of it did.
  bool committed = rc[kCommit] == ERROR_SUCCESS || KeyExists("W\\Moved") || KeyExists("W\\Txn");
  bool moved = committed && rc[kTxnRename] == ERROR_SUCCESS;
  for (int i = 0; i < kTypes; ++i) {
    if (!ValueIs("W\\Values", kTyped[i], moved ? kEither : acked(i))) return 2;
    if (!ValueIs("W\\Moved", kTyped[i], moved ? acked(i) : committed ? kEither : kAbsent)) return 3;
    // A rename copies, then deletes the old tree; a failed copy leaves the old tree whole.
    std::string sub = i % 2 ? "\\Sub" : "";
    bool renamed = rc[kRename] == ERROR_SUCCESS;
    if (!ValueIs("W\\Old" + sub, kTyped[i], renamed ? kEither : acked(kTypes + i))) return 5;
    if (!ValueIs("W\\New" + sub, kTyped[i], renamed ? acked(kTypes + i) : kEither)) return 6;
  }
  if (rc[kDelete] == ERROR_SUCCESS && KeyExists("W\\Doomed")) return 7;
  if (KeyExists("W\\Doomed") && !KeyExists("W\\Doomed\\Deep")) return 8;
  for (int i = 0; i < kTxnKeys; ++i) {
    Presence key = committed ? acked(kTxnFirstKey + i) : kAbsent;
    if (!ValueIs("W\\Txn\\k" + std::to_string(i), kTyped[i % kTypes], key)) return 9;
  }
  if (rc[kList] == ERROR_SUCCESS && List("W") != report.listed) return 10;
  // The hive takes writes again.
  return Set(HKEY_CURRENT_USER, "W\\After", kTyped[0]) == ERROR_SUCCESS ? 0 : 11;
}

TEST(FaultInjection, EveryStorageFaultLeavesTheHiveWholeAndTheAnswersTrue) {
  ScratchFolder scratch;
  auto* report =
      static_cast<Report*>(mmap(nullptr, sizeof(Report), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(MAP_FAILED, report);
  long failAt = 1;
  int crashed = 0, inconsistent = 0;
  for (;; ++failAt) {
    std::string folder = scratch / std::to_string(failAt);
    setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
    memset(report, 0, sizeof *report);
    int workload = RunInChild([&] {
      alarm(120);  // a hang ends as a crash
      InstallFaultyVfs(failAt);
      RunWorkload(report);
      report->fired = g_fired;
      return 0;
    });
    EXPECT_EQ(0, workload) << "the workload crashed or hung with fault " << failAt;
    int check = RunInChild([&] { return Check(folder + "/user.db", *report); });
    EXPECT_EQ(0, check) << "the check failed after fault " << failAt;
    crashed += workload != 0;
    inconsistent += check != 0;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!report->fired || crashed + inconsistent >= 20) break;
  }
  printf("fault points: %ld, crashes or hangs: %d, inconsistent hives: %d\n", failAt - 1, crashed, inconsistent);
  EXPECT_FALSE(report->fired);
  munmap(report, sizeof *report);
}

// Bringing a hive of the previous version up to date is one transaction:
// whatever fault stops it, the hive is the old one whole, which the next
// process brings up to date, or the new one whole.
TEST(FaultInjection, AnOldHiveIsBroughtUpToDateWholeOrNotAtAll) {
  ScratchFolder scratch;
  long failAt = 1;
  int broken = 0;
  for (int workload = 1; workload == 1 && broken < 5; ++failAt) {
    std::string folder = scratch / std::to_string(failAt);
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    ASSERT_TRUE(MakeOldHive(folder + "/user.db"));
    ASSERT_EQ(0, chmod((folder + "/user.db").c_str(), 0600));
    setenv("KORVEX_REGISTRY_DIR", folder.c_str(), 1);
    workload = RunInChild([&] {
      alarm(120);
      InstallFaultyVfs(failAt);
      TreeAt(HKEY_CURRENT_USER, "Software\\Uni");
      return g_fired ? 1 : 0;
    });
    EXPECT_TRUE(workload == 0 || workload == 1) << "the upgrade crashed or hung with fault " << failAt;
    int check = RunInChild([&] {
      return Intact(folder + "/user.db") && TreeAt(HKEY_CURRENT_USER, "Software\\Uni") == kUpgradedUni ? 0 : 1;
    });
    EXPECT_EQ(0, check) << "half brought up to date after fault " << failAt;
    broken += check != 0;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  printf("fault points: %ld\n", failAt - 2);
}

}  // namespace
