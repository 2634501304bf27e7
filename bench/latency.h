#ifndef KORVEX_BENCH_LATENCY_H
#define KORVEX_BENCH_LATENCY_H

// Latency samples of one benchmark run, summed up as median and 99th percentile.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/load_average.h"

inline int64_t ClockNs(clockid_t clock) {
  timespec now;
  clock_gettime(clock, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline int64_t NowNs() { return ClockNs(CLOCK_MONOTONIC); }

inline double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

struct Percentiles {
  double median_us = 0;
  double p99_us = 0;
};

// Samples in any unit; `scale` turns them into microseconds.
template <typename Sample>
Percentiles Summarize(std::vector<Sample> samples, double scale) {
  Percentiles result;
  if (samples.empty()) return result;
  std::sort(samples.begin(), samples.end());
  result.median_us = samples[samples.size() / 2] * scale;
  result.p99_us = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)] * scale;
  return result;
}

inline Percentiles Summarize(std::vector<int64_t> samples) { return Summarize(std::move(samples), 1 / 1000.0); }

// Each figure of the round in the middle, of rounds that took turns with
// other work: a stall of the host lands in one round or two, of either side,
// and decides neither figure.
inline Percentiles MedianRound(std::vector<Percentiles> rounds) {
  Percentiles middle;
  if (rounds.empty()) return middle;
  auto at = rounds.begin() + rounds.size() / 2;
  std::nth_element(rounds.begin(), at, rounds.end(),
                   [](const Percentiles& a, const Percentiles& b) { return a.median_us < b.median_us; });
  middle.median_us = at->median_us;
  std::nth_element(rounds.begin(), at, rounds.end(),
                   [](const Percentiles& a, const Percentiles& b) { return a.p99_us < b.p99_us; });
  middle.p99_us = at->p99_us;
  return middle;
}

// Shows one side's figures as the counters <prefix>median_us and <prefix>p99_us.
inline void SetCounters(benchmark::State& state, const std::string& prefix, const Percentiles& figures) {
  state.counters[prefix + "median_us"] = figures.median_us;
  state.counters[prefix + "p99_us"] = figures.p99_us;
}

// Prints "<what>: median A us (<anchor> B us), p99 C us (D us); goal Nx" with
// the load, and tells whether ours kept within `goal` times the anchor at both
// figures. An anchor the run did not measure (a filter left it out) fails nothing.
inline bool WithinGoal(const std::string& what, const Percentiles& ours, const char* anchor, const Percentiles& base,
                       double goal) {
  std::printf("%s: median %.1f us (%s %.1f us), p99 %.1f us (%.1f us); goal %gx; %s\n", what.c_str(), ours.median_us,
              anchor, base.median_us, ours.p99_us, base.p99_us, goal, LoadAverage().c_str());
  return base.p99_us <= 0 || (ours.median_us <= goal * base.median_us && ours.p99_us <= goal * base.p99_us);
}

inline void Report(benchmark::State& state, const std::vector<int64_t>& samples, Percentiles* out) {
  *out = Summarize(samples);
  SetCounters(state, "", *out);
  state.counters["samples"] = double(samples.size());
}

// Samples already in microseconds.
inline void ReportPercentiles(benchmark::State& state, std::vector<double> samples) {
  if (samples.empty()) {
    state.SkipWithError("no samples");
    return;
  }
  double count = static_cast<double>(samples.size());
  Percentiles result = Summarize(std::move(samples), 1.0);
  state.counters["p50_us"] = result.median_us;
  state.counters["p99_us"] = result.p99_us;
  state.counters["samples"] = count;
}

#endif
