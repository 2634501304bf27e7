// Change latency, from the change to the window's message, through each
// watcher against the layer's bare wait (a thread blocked in
// RegNotifyChangeKeyValue or on the change handle) in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/latency.h"
#include "korvex/korvex.h"

namespace {

const UINT kChanged = WM_APP + 1;
std::string g_folder;
HKEY g_key = NULL;

void ChangeValue() {
  static DWORD number = 0;
  ++number;
  RegSetValueExA(g_key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

void ChangeFolder() {
  static int serial = 0;
  std::ofstream(g_folder + "/f" + std::to_string(++serial));
}

// One sample per iteration: the change, then the wait for its notice. A change
// that falls between two waits is not reported; its iteration gives no sample.
void Measure(benchmark::State& state, const std::function<void()>& change,
             const std::function<bool(std::chrono::milliseconds)>& noticed) {
  std::vector<double> samples;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    change();
    if (noticed(std::chrono::milliseconds(200))) samples.push_back(MicrosecondsSince(start));
  }
  ReportPercentiles(state, samples);
}

int g_messages = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kChanged) return DefWindowProcA(window, message, wParam, lParam);
  ++g_messages;
  return 0;
}

HWND MakeWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "bench-watch";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "bench-watch", "", 0, 0, 0, 0, 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

// Runs the message loop until a message arrives; a thread timer bounds the wait.
bool MessageWithin(std::chrono::milliseconds limit) {
  const int before = g_messages;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  UINT_PTR tick = SetTimer(NULL, 0, 10, NULL);
  MSG message;
  while (g_messages == before && std::chrono::steady_clock::now() < deadline && GetMessageA(&message, NULL, 0, 0) > 0)
    DispatchMessageA(&message);
  KillTimer(NULL, tick);
  return g_messages > before;
}

void Registry_Watcher(benchmark::State& state) {
  HWND window = MakeWindow();
  CRegistryWatcher watcher;
  watcher.BeginWatch(g_key, 0, window, kChanged, REG_NOTIFY_CHANGE_LAST_SET);
  Measure(state, ChangeValue, MessageWithin);
  watcher.EndWatch();
  DestroyWindow(window);
}

void Folder_Watcher(benchmark::State& state) {
  HWND window = MakeWindow();
  CFolderWatcher watcher;
  watcher.BeginWatch(g_folder.c_str(), 0, window, kChanged, FILE_NOTIFY_CHANGE_FILE_NAME);
  Measure(state, ChangeFolder, MessageWithin);
  watcher.EndWatch();
  DestroyWindow(window);
}

// The anchor: a thread in the bare wait sets an event for each wake-up.
class BareWaiter {
public:
  explicit BareWaiter(const std::function<bool()>& wait)
      : wait_(wait),
        noticed_(CreateEventA(NULL, FALSE, FALSE, NULL)),
        thread_(CreateThread(NULL, 0, Run, this, 0, NULL)) {}
  ~BareWaiter() {
    TerminateThread(thread_, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(noticed_);
  }
  bool Within(std::chrono::milliseconds limit) {
    return WaitForSingleObject(noticed_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
  }

private:
  static DWORD WINAPI Run(LPVOID self) {
    BareWaiter* waiter = static_cast<BareWaiter*>(self);
    while (waiter->wait_()) SetEvent(waiter->noticed_);
    return 0;
  }

  std::function<bool()> wait_;
  HANDLE noticed_;
  HANDLE thread_;
};

void Registry_BareWait(benchmark::State& state) {
  BareWaiter waiter(
      [] { return RegNotifyChangeKeyValue(g_key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, NULL, FALSE) == ERROR_SUCCESS; });
  Measure(state, ChangeValue, [&](std::chrono::milliseconds limit) { return waiter.Within(limit); });
}

void Folder_BareWait(benchmark::State& state) {
  HANDLE change = FindFirstChangeNotificationA(g_folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  {
    BareWaiter waiter([change] {
      return WaitForSingleObject(change, INFINITE) == WAIT_OBJECT_0 && FindNextChangeNotification(change);
    });
    Measure(state, ChangeFolder, [&](std::chrono::milliseconds limit) { return waiter.Within(limit); });
  }
  FindCloseChangeNotification(change);
}

}  // namespace

BENCHMARK(Registry_Watcher)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Registry_BareWait)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Folder_Watcher)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Folder_BareWait)->Iterations(2000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  char folder[] = "/tmp/korvex-bench-watch-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  g_folder = folder;
  setenv("KORVEX_REGISTRY_DIR", folder, 1);
  std::filesystem::create_directories(g_folder + "/watched");
  g_folder += "/watched";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\BenchWatch", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &g_key, NULL) !=
      ERROR_SUCCESS)
    return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  RegCloseKey(g_key);
  std::filesystem::remove_all(folder);
  return 0;
}
