#ifndef KORVEX_BENCH_RATIO_REPORTER_H
#define KORVEX_BENCH_RATIO_REPORTER_H

// Keeps each run's times per iteration, so a program can compare two
// benchmarks of the same run after printing them as usual.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
  struct Times {
    double real = 0, cpu = 0;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  Times Get(const std::string& name) const {
    auto found = times_.find(name);
    return found == times_.end() ? Times() : found->second;
  }

private:
  std::map<std::string, Times> times_;
};

#endif
