#ifndef KORVEX_BENCH_LATENCY_H
#define KORVEX_BENCH_LATENCY_H

// Lateness and latency samples in microseconds, reported as the median and
// the 99th percentile.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

inline double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

inline void ReportPercentiles(benchmark::State& state, std::vector<double> samples) {
  if (samples.empty()) {
    state.SkipWithError("no samples");
    return;
  }
  std::sort(samples.begin(), samples.end());
  state.counters["p50_us"] = samples[samples.size() / 2];
  state.counters["p99_us"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
  state.counters["samples"] = static_cast<double>(samples.size());
}

#endif
