// ShellExecuteA against posix_spawn of the same program, from the call to the
// first instruction of the program's main: at most 1.2 times. The detached
// start adds its own signal, descriptor and process-group set-up and a thread that
// reaps the program. The two alternate in one benchmark, so both see the same
// machine; "ratio" is the target.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "bench/latency.h"
#include "korvex/platform.h"

extern char** environ;

namespace {

// A FIFO the child writes its start time to; held open for reading and
// writing here, so neither side's open blocks.
class Fifo {
public:
  Fifo() {
    char folder[] = "/tmp/korvex-bench-XXXXXX";
    folder_ = mkdtemp(folder) ? folder : "/tmp";
    path_ = folder_ + "/started";
    mkfifo(path_.c_str(), 0600);
    fd_ = open(path_.c_str(), O_RDWR);
  }
  ~Fifo() {
    close(fd_);
    unlink(path_.c_str());
    rmdir(folder_.c_str());
  }
  const std::string& path() const { return path_; }
  // The child's start time; 0 when nothing came.
  int64_t Read() const {
    int64_t started = 0;
    return read(fd_, &started, sizeof started) == static_cast<ssize_t>(sizeof started) ? started : 0;
  }

private:
  std::string folder_, path_;
  int fd_ = -1;
};

// Nanoseconds from the call to the child's main; 0 on failure.
int64_t BySpawn(const Fifo& fifo) {
  char* argv[] = {const_cast<char*>(LAUNCH_CHILD), const_cast<char*>(fifo.path().c_str()), NULL};
  pid_t pid;
  int64_t begin = NowNs();
  if (posix_spawn(&pid, LAUNCH_CHILD, NULL, NULL, argv, environ) != 0) return 0;
  int64_t started = fifo.Read();
  waitpid(pid, NULL, 0);
  return started ? started - begin : 0;
}

int64_t ByShellExecute(const Fifo& fifo) {
  int64_t begin = NowNs();
  INT_PTR result =
      reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, NULL, LAUNCH_CHILD, fifo.path().c_str(), NULL, SW_SHOWNORMAL));
  if (result <= 32) return 0;
  int64_t started = fifo.Read();
  return started ? started - begin : 0;
}

void StartCost(benchmark::State& state) {
  Fifo fifo;
  int64_t spawnTotal = 0, shellTotal = 0;
  for (auto _ : state) {
    int64_t spawn = BySpawn(fifo), shell = ByShellExecute(fifo);
    if (!spawn || !shell) {
      state.SkipWithError("a start failed");
      break;
    }
    spawnTotal += spawn;
    shellTotal += shell;
    state.SetIterationTime(static_cast<double>(shell) / 1e9);
  }
  double n = static_cast<double>(state.iterations());
  state.counters["spawn_us"] = static_cast<double>(spawnTotal) / n / 1e3;
  state.counters["shell_us"] = static_cast<double>(shellTotal) / n / 1e3;
  state.counters["ratio"] = spawnTotal ? static_cast<double>(shellTotal) / static_cast<double>(spawnTotal) : 0;
}
BENCHMARK(StartCost)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
