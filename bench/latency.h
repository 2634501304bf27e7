#ifndef KORVEX_BENCH_LATENCY_H
#define KORVEX_BENCH_LATENCY_H

// Latency samples of one benchmark run, summed up as median and 99th percentile.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

inline int64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Percentiles {
  double median_us = 0;
  double p99_us = 0;
};

inline Percentiles Summarize(std::vector<int64_t> samples) {
  Percentiles result;
  if (samples.empty()) return result;
  std::sort(samples.begin(), samples.end());
  result.median_us = samples[samples.size() / 2] / 1000.0;
  result.p99_us = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)] / 1000.0;
  return result;
}

inline void Report(benchmark::State& state, const std::vector<int64_t>& samples, Percentiles* out) {
  *out = Summarize(samples);
  state.counters["median_us"] = out->median_us;
  state.counters["p99_us"] = out->p99_us;
  state.counters["samples"] = double(samples.size());
}

#endif
