// Reading options from a 1,000-key profile file, side by side: the file long
// settled, right after this process wrote it, and right after another process
// wrote it (1,000 GetPrivateProfileStringA reads each, on CPU time); then the
// parse of that file's text alone, against the parser this program was first
// measured with on the reference machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/load_average.h"
#include "korvex/platform.h"
#include "platform/posix/profile/text.h"

namespace {

constexpr int kKeys = 1000;
constexpr double kSettledLimitUs = 2.0;
constexpr double kOwnWriteLimitUs = 5.0;
constexpr double kOtherWriteLimitUs = 20.0;
// The parser before the line scanner, on the reference machine (2 cores).
constexpr double kFormerParseMBps = 67.0;
constexpr double kParseSpeedup = 4.0;

std::string g_folder;
std::vector<std::string> g_keys;
std::string g_text;

std::string FileFor(const char* name) { return g_folder + "/" + name + ".ini"; }

void WriteThousandKeyFile(const std::string& path) {
  std::ofstream(path) << g_text;
  struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 3600, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool ReadAll(const std::string& file) {
  char value[64];
  for (const std::string& key : g_keys)
    if (GetPrivateProfileStringA("Options", key.c_str(), "", value, sizeof value, file.c_str()) == 0) return false;
  return true;
}

void Reads(benchmark::State& state, const std::string& file, void (*write)(const std::string&, int)) {
  WriteThousandKeyFile(file);
  int round = 0;
  for (auto _ : state) {
    if (write) {
      state.PauseTiming();
      write(file, ++round);
      state.ResumeTiming();
    }
    if (!ReadAll(file)) return state.SkipWithError("value lost");
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void WriteHere(const std::string& file, int round) {
  WritePrivateProfileStringA("Options", "Written", std::to_string(round).c_str(), file.c_str());
}

void WriteInChild(const std::string& file, int round) {
  pid_t child = fork();
  if (child == 0)
    _exit(WritePrivateProfileStringA("Options", "Written", std::to_string(round).c_str(), file.c_str()) ? 0 : 1);
  int status;
  waitpid(child, &status, 0);
}

void ReadSettled(benchmark::State& state) { Reads(state, FileFor("settled"), nullptr); }
void ReadAfterOwnWrite(benchmark::State& state) { Reads(state, FileFor("own"), WriteHere); }
void ReadAfterOtherWrite(benchmark::State& state) { Reads(state, FileFor("other"), WriteInChild); }

void Parse(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(korvex::posix::profile::ProfileText(g_text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(g_text.size()));
}

BENCHMARK(ReadSettled)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadAfterOwnWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadAfterOtherWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(Parse)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's CPU time per iteration, in microseconds.
class LimitReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.iterations > 0) cpuUs_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double cpuUs(const std::string& name) const {
    auto found = cpuUs_.find(name);
    return found == cpuUs_.end() ? -1 : found->second;
  }

private:
  std::map<std::string, double> cpuUs_;
};

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/korvex-bench-profile-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  g_folder = folder;
  std::ostringstream text;
  text << "[Options]\r\n";
  for (int i = 0; i < kKeys; ++i) {
    g_keys.push_back("Option" + std::to_string(i));
    text << g_keys.back() << "=value number " << i << "\r\n";
  }
  g_text = text.str();
  benchmark::Initialize(&argc, argv);
  LimitReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // Judged on CPU time, which other work on a shared machine disturbs least.
  int rc = 0;
  struct Limit {
    const char* name;
    double limitUs;
  };
  for (const Limit& limit : {Limit{"ReadSettled", kSettledLimitUs}, Limit{"ReadAfterOwnWrite", kOwnWriteLimitUs},
                             Limit{"ReadAfterOtherWrite", kOtherWriteLimitUs}}) {
    double us = reporter.cpuUs(limit.name) / kKeys;
    if (us < 0) continue;
    std::printf("%-20s %8.3f us CPU per read (limit %.1f), %s\n", limit.name, us, limit.limitUs, LoadAverage().c_str());
    if (us > limit.limitUs) rc = 1;
  }
  double parseUs = reporter.cpuUs("Parse");
  if (parseUs > 0) {
    double mbps = g_text.size() / parseUs;
    std::printf("%-20s %8.1f MB/s (%.0f bytes in %.1f us; limit %.0f MB/s, %.0fx the former parser); %s\n", "Parse",
                mbps, static_cast<double>(g_text.size()), parseUs, kFormerParseMBps * kParseSpeedup, kParseSpeedup,
                LoadAverage().c_str());
    if (mbps < kFormerParseMBps * kParseSpeedup) rc = 1;
  }
  for (const char* name : {"settled", "own", "other"}) {
    std::remove(FileFor(name).c_str());
    std::remove((FileFor(name) + ".lock").c_str());
  }
  rmdir(folder);
  return rc;
}
