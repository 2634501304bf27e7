// How late a timer call comes: 100 timers of 10 ms on one thread, through
// CTimer's listener against WM_TIMER on a bare window with SetTimer, in the
// same run. Lateness is the time between two calls of one timer less its
// period.
#include <benchmark/benchmark.h>

#include <map>

#include "bench/latency.h"
#include "korvex/korvex.h"

namespace {

const unsigned int kTimers = 100;
const unsigned int kPeriod = 10;
const size_t kSamples = 5000;

class Lateness {
public:
  void Tick(unsigned int id) {
    auto now = std::chrono::steady_clock::now();
    auto last = last_.find(id);
    if (last != last_.end()) samples.push_back(MicrosecondsSince(last->second) - kPeriod * 1000.0);
    last_[id] = now;
  }
  std::vector<double> samples;

private:
  std::map<unsigned int, std::chrono::steady_clock::time_point> last_;
};

void RunLoopUntil(const Lateness& lateness) {
  MSG message;
  while (lateness.samples.size() < kSamples && GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
}

class Listener : public CTimerListener {
public:
  void OnTimer(CTimer*, unsigned int id) override { lateness.Tick(id); }
  Lateness lateness;
};

void Timer_CTimer(benchmark::State& state) {
  for (auto _ : state) {
    Listener listener;
    CTimer timer(&listener);
    for (unsigned int id = 1; id <= kTimers; ++id) timer.Start(id, kPeriod);
    RunLoopUntil(listener.lateness);
    ReportPercentiles(state, listener.lateness.samples);
  }
}

Lateness* g_bare = nullptr;

LRESULT CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TIMER) return DefWindowProcA(window, message, wParam, lParam);
  g_bare->Tick(static_cast<unsigned int>(wParam));
  return 0;
}

void Timer_BareSetTimer(benchmark::State& state) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = BareProc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "bench-bare-timer";
  RegisterClassA(&windowClass);
  for (auto _ : state) {
    Lateness lateness;
    g_bare = &lateness;
    HWND window = CreateWindowExA(0, "bench-bare-timer", "", 0, 0, 0, 0, 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
    for (unsigned int id = 1; id <= kTimers; ++id) SetTimer(window, id, kPeriod, NULL);
    RunLoopUntil(lateness);
    DestroyWindow(window);
    ReportPercentiles(state, lateness.samples);
  }
}

}  // namespace

BENCHMARK(Timer_CTimer)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Timer_BareSetTimer)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
