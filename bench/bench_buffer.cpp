// CBuffer as a byte queue against libevent's evbuffer and against plain memcpy
// of the same bytes (in, then out). Every figure is bytes through the queue
// per second.
#include <benchmark/benchmark.h>
#include <event2/buffer.h>
#include <string.h>

#include <vector>

#include "korvex/buffer.h"

namespace {

const size_t kChunk = 4096;

// Steady state: each 4 KiB chunk is appended and taken out again; the queue
// holds `backlog` bytes throughout.
void Queue4K_Korvex(benchmark::State& state) {
  const std::vector<unsigned char> chunk(kChunk, 'x');
  std::vector<unsigned char> out(kChunk);
  CBuffer queue;
  for (int64_t i = 0; i < state.range(0); i += kChunk) queue.Append(chunk.data(), kChunk);
  for (auto _ : state) {
    queue.Append(chunk.data(), kChunk);
    benchmark::DoNotOptimize(queue.Get(out.data(), kChunk));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kChunk);
}

void Queue4K_Evbuffer(benchmark::State& state) {
  const std::vector<unsigned char> chunk(kChunk, 'x');
  std::vector<unsigned char> out(kChunk);
  evbuffer* queue = evbuffer_new();
  for (int64_t i = 0; i < state.range(0); i += kChunk) evbuffer_add(queue, chunk.data(), kChunk);
  for (auto _ : state) {
    evbuffer_add(queue, chunk.data(), kChunk);
    benchmark::DoNotOptimize(evbuffer_remove(queue, out.data(), kChunk));
    benchmark::ClobberMemory();
  }
  evbuffer_free(queue);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kChunk);
}

void Queue4K_Memcpy(benchmark::State& state) {
  const std::vector<unsigned char> chunk(kChunk, 'x');
  std::vector<unsigned char> held(kChunk), out(kChunk);
  for (auto _ : state) {
    memcpy(held.data(), chunk.data(), kChunk);
    benchmark::ClobberMemory();
    memcpy(out.data(), held.data(), kChunk);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kChunk);
}

void Queue1B_Korvex(benchmark::State& state) {
  CBuffer queue;
  unsigned char byte = 0;
  for (auto _ : state) {
    queue.PutByte(++byte);
    benchmark::DoNotOptimize(byte = queue.GetByte());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()));
}

void Queue1B_Evbuffer(benchmark::State& state) {
  evbuffer* queue = evbuffer_new();
  unsigned char byte = 0;
  for (auto _ : state) {
    ++byte;
    evbuffer_add(queue, &byte, 1);
    benchmark::DoNotOptimize(evbuffer_remove(queue, &byte, 1));
  }
  evbuffer_free(queue);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()));
}

void Queue1B_Memcpy(benchmark::State& state) {
  unsigned char held = 0, byte = 0;
  for (auto _ : state) {
    ++byte;
    memcpy(&held, &byte, 1);
    benchmark::ClobberMemory();
    memcpy(&byte, &held, 1);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

BENCHMARK(Queue4K_Korvex)->ArgName("backlog")->Arg(0)->Arg(64 << 10);
BENCHMARK(Queue4K_Evbuffer)->ArgName("backlog")->Arg(0)->Arg(64 << 10);
BENCHMARK(Queue4K_Memcpy);
BENCHMARK(Queue1B_Korvex);
BENCHMARK(Queue1B_Evbuffer);
BENCHMARK(Queue1B_Memcpy);

BENCHMARK_MAIN();
