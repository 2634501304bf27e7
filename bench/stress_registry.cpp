// The registry under sustained load, run by hand (not by make bench):
//   stress_registry <empty private folder> [seconds=60] [kills=50]
// 8 writer processes of 4 threads each set values while 4 processes enumerate;
// writers are SIGKILLed and started again. Afterwards every write that returned
// must be there. Prints the throughput, the slowest write and the log's size;
// exits 1 when a write was lost or a call failed.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/latency.h"
#include "bench/load_average.h"
#include "korvex/platform.h"

namespace {

constexpr int kWriters = 8, kThreads = 4, kReaders = 4;

// Shared by every process: each thread's last returned write, and the figures.
struct Board {
  std::atomic<long> returned[kWriters][kThreads];
  std::atomic<long> writes, reads, failures, slowestNs, over100ms, over1s;
  std::atomic<bool> stop;
};
Board* g_board;

std::string KeyOf(int writer, int thread) {
  return "Software\\Stress\\w" + std::to_string(writer) + "t" + std::to_string(thread);
}

void Fail(const char* what, LONG rc) {
  std::fprintf(stderr, "%s failed: %ld\n", what, static_cast<long>(rc));
  ++g_board->failures;
}

// A writer thread goes on after its last returned write: a kill may have cut
// the next one short, and writing it again is harmless.
void WriteValues(int writer, int thread) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, KeyOf(writer, thread).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr);
  if (rc != ERROR_SUCCESS) return Fail("RegCreateKeyExA", rc);
  for (long n = g_board->returned[writer][thread] + 1; !g_board->stop; ++n) {
    DWORD value = static_cast<DWORD>(n);
    int64_t start = NowNs();
    rc = RegSetValueExA(key, ("v" + std::to_string(n)).c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                        sizeof value);
    long ns = static_cast<long>(NowNs() - start);
    if (rc != ERROR_SUCCESS) return Fail("RegSetValueExA", rc);
    g_board->returned[writer][thread] = n;
    ++g_board->writes;
    g_board->over100ms += ns > 100'000'000;
    g_board->over1s += ns > 1'000'000'000;
    long slowest = g_board->slowestNs;
    while (ns > slowest && !g_board->slowestNs.compare_exchange_weak(slowest, ns)) {
    }
  }
  RegCloseKey(key);
}

pid_t StartWriter(int writer) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) threads.emplace_back(WriteValues, writer, thread);
  for (std::thread& thread : threads) thread.join();
  _exit(0);
}

pid_t StartReader(int reader) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  while (!g_board->stop)
    for (int writer = 0; writer < kWriters && !g_board->stop; ++writer) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(writer, reader % kThreads).c_str(), 0, KEY_READ, &key) != 0) continue;
      char name[64];
      for (DWORD i = 0; i < 200 && !g_board->stop; ++i, ++g_board->reads) {
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      }
      RegCloseKey(key);
    }
  _exit(0);
}

long FileBytes(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

// Writes that returned but cannot be read back.
long LostWrites() {
  long lost = 0;
  for (int writer = 0; writer < kWriters; ++writer)
    for (int thread = 0; thread < kThreads; ++thread) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(writer, thread).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        lost += g_board->returned[writer][thread];
        continue;
      }
      for (long n = 1; n <= g_board->returned[writer][thread]; ++n) {
        DWORD value = 0, size = sizeof value;
        lost += RegQueryValueExA(key, ("v" + std::to_string(n)).c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
                value != static_cast<DWORD>(n);
      }
      RegCloseKey(key);
    }
  return lost;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <empty private folder> [seconds] [kills]\n", argv[0]);
    return 2;
  }
  setenv("KORVEX_REGISTRY_DIR", argv[1], 1);
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60, kills = argc > 3 ? std::atoi(argv[3]) : 50;
  void* shared = mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return 2;
  g_board = new (shared) Board();

  pid_t writers[kWriters], readers[kReaders];
  for (int i = 0; i < kWriters; ++i) writers[i] = StartWriter(i);
  for (int i = 0; i < kReaders; ++i) readers[i] = StartReader(i);
  const std::string log = std::string(argv[1]) + "/user.db-wal";
  const int64_t start = NowNs(), end = start + seconds * 1'000'000'000LL;
  const int64_t killEvery = kills > 0 ? (end - start) / (kills + 1) : end;
  std::mt19937 random(7);
  long largestLog = 0;
  int killed = 0;
  for (int64_t nextKill = start + killEvery; NowNs() < end; usleep(20'000)) {
    largestLog = std::max(largestLog, FileBytes(log));
    if (killed == kills || NowNs() < nextKill) continue;
    int victim = static_cast<int>(random() % kWriters);
    kill(writers[victim], SIGKILL);
    waitpid(writers[victim], nullptr, 0);
    writers[victim] = StartWriter(victim);
    ++killed;
    nextKill += killEvery;
  }
  g_board->stop = true;
  for (pid_t pid : writers) waitpid(pid, nullptr, 0);
  for (pid_t pid : readers) waitpid(pid, nullptr, 0);
  const double elapsed = (NowNs() - start) / 1e9;
  const long lost = LostWrites();

  std::printf("%.0f s: %ld writes (%.0f/s), %ld enumeration reads (%.0f/s), %d writers killed; %s\n", elapsed,
              g_board->writes.load(), g_board->writes / elapsed, g_board->reads.load(), g_board->reads / elapsed,
              killed, LoadAverage().c_str());
  std::printf("slowest write %.1f ms, %ld over 100 ms, %ld over 1 s; log at most %.2f MB, %.2f MB at the end\n",
              g_board->slowestNs / 1e6, g_board->over100ms.load(), g_board->over1s.load(), largestLog / 1e6,
              FileBytes(log) / 1e6);
  std::printf("writes lost: %ld; calls failed: %ld\n", lost, g_board->failures.load());
  return lost == 0 && g_board->failures == 0 ? 0 : 1;
}
