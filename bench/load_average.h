#ifndef KORVEX_BENCH_LOAD_AVERAGE_H
#define KORVEX_BENCH_LOAD_AVERAGE_H

// The machine's load averages over 1, 5 and 15 minutes, printed beside every
// verdict: on a shared machine a latency means little without them.
#include <fstream>
#include <string>

inline std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return "load average " + one + " " + five + " " + fifteen;
}

#endif
