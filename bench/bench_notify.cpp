// Change latency. A file created in a watched folder until the change handle's
// wait returns, against raw inotify and poll in turns (goal: at most 2 times
// raw's median and 99th percentile, each of its middle round); a value set in
// another process until RegNotifyChangeKeyValue's event is signalled (goal:
// 99th percentile within 5 ms), beside raw inotify seeing the same write.
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/latency.h"
#include "bench/load_average.h"
#include "korvex/platform.h"

extern char** environ;

namespace {

constexpr int kRegistryChanges = 1000;
std::string g_folder;
Percentiles g_fileLayer, g_fileRaw, g_registry, g_registryRaw;

std::string NewFile(int i) { return g_folder + "/file-" + std::to_string(i); }

int64_t CreateFileAt(const std::string& path) {
  int64_t start = NowNs();
  FILE* file = std::fopen(path.c_str(), "w");
  if (file) std::fclose(file);
  return start;
}

// One round of each: `count` files created and deleted under a watch of its
// own, noting when each creation was seen. False when one was not.
bool FileChangeLayerRound(int count, std::vector<int64_t>* samples) {
  HANDLE changes = FindFirstChangeNotificationA(g_folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  bool seen = changes != INVALID_HANDLE_VALUE;
  for (int i = 0; i < count && seen; ++i) {
    int64_t start = CreateFileAt(NewFile(i));
    seen = WaitForSingleObject(changes, 5000) == WAIT_OBJECT_0;
    if (!seen) break;
    samples->push_back(NowNs() - start);
    FindNextChangeNotification(changes);
    unlink(NewFile(i).c_str());
    WaitForSingleObject(changes, 5000);  // the deletion
    FindNextChangeNotification(changes);
  }
  if (changes != INVALID_HANDLE_VALUE) FindCloseChangeNotification(changes);
  return seen;
}

bool FileChangeRawRound(int count, std::vector<int64_t>* samples) {
  int fd = inotify_init1(IN_NONBLOCK);
  inotify_add_watch(fd, g_folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
  alignas(inotify_event) char buffer[4096];
  bool seen = fd >= 0;
  for (int i = 0; i < count && seen; ++i) {
    int64_t start = CreateFileAt(NewFile(i));
    pollfd ready{fd, POLLIN, 0};
    seen = poll(&ready, 1, 5000) == 1;
    if (!seen) break;
    samples->push_back(NowNs() - start);
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
    unlink(NewFile(i).c_str());
    poll(&ready, 1, 5000);
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
  }
  if (fd >= 0) close(fd);
  return seen;
}

// The layer and raw inotify take turns, round by round, so that a load that
// comes and goes on the machine weighs on both alike; each is judged by its
// middle round, which one stall of the host cannot decide.
constexpr int kFileRounds = 20, kFilesPerRound = 100;

void FileChangeInTurns(benchmark::State& state) {
  std::vector<Percentiles> layer, raw;
  for (auto _ : state) {
    for (int round = 0; round < kFileRounds; ++round) {
      std::vector<int64_t> samples;
      if (!FileChangeLayerRound(kFilesPerRound, &samples)) return state.SkipWithError("a creation went unseen");
      layer.push_back(Summarize(samples));
      samples.clear();
      if (!FileChangeRawRound(kFilesPerRound, &samples)) return state.SkipWithError("inotify saw no creation");
      raw.push_back(Summarize(samples));
    }
  }
  g_fileLayer = MedianRound(layer);
  g_fileRaw = MedianRound(raw);
  SetCounters(state, "", g_fileLayer);
  SetCounters(state, "raw_", g_fileRaw);
}
BENCHMARK(FileChangeInTurns)->Iterations(1)->Unit(benchmark::kMillisecond);

// The other process: for every byte read, notes the time and sets a value.
int ChildSetter(const char* keyPath) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return 1;
  char go;
  for (DWORD i = 0; read(0, &go, 1) == 1; ++i) {
    int64_t start = NowNs();
    RegSetValueExA(key, "value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i);
    if (write(1, &start, sizeof start) != sizeof start) break;
  }
  RegCloseKey(key);
  return 0;
}

void RegistryChangeFromAnotherProcess(benchmark::State& state) {
  const char* keyPath = "Software\\korvex-bench-notify";
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  int toChild[2], fromChild[2];
  if (pipe(toChild) || pipe(fromChild)) return state.SkipWithError("no pipes");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  // Only the parent keeps the ends it writes to, so the child sees the end.
  for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  setenv("KORVEX_BENCH_SETTER", keyPath, 1);
  std::string self = "/proc/self/exe";
  char* argv[] = {&self[0], nullptr};
  pid_t child;
  if (posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ)) return state.SkipWithError("no child");
  unsetenv("KORVEX_BENCH_SETTER");
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // The baseline, in turns with the layer: raw inotify on the hive's folder,
  // which every write touches once its commit is visible.
  int raw = inotify_init1(IN_NONBLOCK);
  inotify_add_watch(raw, g_folder.c_str(), IN_ATTRIB);
  alignas(inotify_event) char buffer[4096];
  std::vector<int64_t> samples, rawSamples;
  for (auto _ : state) {
    for (int i = 0; i < 2 * kRegistryChanges; ++i) {
      bool layer = i % 2 == 0;
      if (layer) RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
      while (read(raw, buffer, sizeof buffer) > 0) {
      }
      int64_t start;
      pollfd ready{raw, POLLIN, 0};
      if (write(toChild[1], "x", 1) != 1) break;
      if (layer ? WaitForSingleObject(event, 5000) != WAIT_OBJECT_0 : poll(&ready, 1, 5000) != 1) break;
      int64_t seen = NowNs();
      if (read(fromChild[0], &start, sizeof start) != sizeof start) break;
      (layer ? samples : rawSamples).push_back(seen - start);
    }
  }
  close(raw);
  close(toChild[1]);
  close(fromChild[0]);
  waitpid(child, nullptr, 0);
  CloseHandle(event);
  RegCloseKey(key);
  Report(state, samples, &g_registry);
  g_registryRaw = Summarize(rawSamples);
  SetCounters(state, "raw_", g_registryRaw);
}
BENCHMARK(RegistryChangeFromAnotherProcess)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (const char* keyPath = getenv("KORVEX_BENCH_SETTER")) return ChildSetter(keyPath);
  char folder[] = "/tmp/korvex-bench-notify-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  g_folder = folder;
  setenv("KORVEX_REGISTRY_DIR", folder, 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool fileMet = WithinGoal("file change, middle of " + std::to_string(kFileRounds) + " rounds", g_fileLayer,
                            "raw inotify", g_fileRaw, 2);
  std::printf(
      "registry change from another process: median %.1f us (raw inotify %.1f us), p99 %.1f us (raw %.1f us); "
      "goal p99 <= 5000 us; %s\n",
      g_registry.median_us, g_registryRaw.median_us, g_registry.p99_us, g_registryRaw.p99_us, LoadAverage().c_str());
  for (const char* file : {"/user.db", "/user.db-wal", "/user.db-shm", "/user.db-writes"})
    std::remove((g_folder + file).c_str());
  rmdir(folder);
  bool registryMissed = g_registry.p99_us > 5000;
  return !fileMet || registryMissed ? 1 : 0;
}
