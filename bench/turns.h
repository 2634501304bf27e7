#ifndef KORVEX_BENCH_TURNS_H
#define KORVEX_BENCH_TURNS_H

// Two pieces of work that take turns, a batch each, so that a load that comes
// and goes on the machine weighs on both alike. Each is judged by its median
// batch, which a stall of the host moves least.
#include <cstdint>
#include <vector>

#include "bench/latency.h"

struct TurnTimes {
  Percentiles cpu, real;  // of one batch
};

// Runs `rounds` turns of first() and second(), each a batch that returns false
// to stop the run; false when one did. prepare(side), 0 for first and 1 for
// second, runs untimed before each batch and stops the run alike.
template <typename First, typename Second, typename Prepare>
bool TakeTurns(int rounds, First first, Second second, TurnTimes* firstTimes, TurnTimes* secondTimes, Prepare prepare) {
  std::vector<int64_t> cpu[2], real[2];
  for (int round = 0; round < rounds; ++round) {
    for (int side = 0; side < 2; ++side) {
      if (!prepare(side)) return false;
      const int64_t cpuStart = ClockNs(CLOCK_THREAD_CPUTIME_ID), realStart = NowNs();
      if (!(side == 0 ? first() : second())) return false;
      cpu[side].push_back(ClockNs(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
      real[side].push_back(NowNs() - realStart);
    }
  }
  *firstTimes = {Summarize(cpu[0]), Summarize(real[0])};
  *secondTimes = {Summarize(cpu[1]), Summarize(real[1])};
  return true;
}

template <typename First, typename Second>
bool TakeTurns(int rounds, First first, Second second, TurnTimes* firstTimes, TurnTimes* secondTimes) {
  return TakeTurns(rounds, first, second, firstTimes, secondTimes, [](int) { return true; });
}

#endif
