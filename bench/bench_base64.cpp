// CBase64 against OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock and against a
// memcpy of the same bytes, on 1 MiB of random bytes. Every figure is bytes of
// binary data per second. Fails when CBase64 misses its targets.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <string.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/load_average.h"
#include "bench/ratio_reporter.h"
#include "bench/turns.h"
#include "korvex/buffer.h"

namespace {

const unsigned int kSize = 1 << 20;

const std::vector<unsigned char>& Bytes() {
  static const std::vector<unsigned char> bytes = [] {
    std::mt19937 rng(64);
    std::vector<unsigned char> b(kSize);
    for (unsigned char& c : b) c = static_cast<unsigned char>(rng());
    return b;
  }();
  return bytes;
}

const std::string& Text() {
  static const std::string text = [] {
    CString t;
    CBase64::Encode(Bytes().data(), kSize, t);
    return std::string(t);
  }();
  return text;
}

// The same text with a line break after every 76 characters.
const std::string& LineText() {
  static const std::string text = [] {
    std::string lines;
    for (size_t at = 0; at < Text().size(); at += 76) lines += Text().substr(at, 76) + "\r\n";
    return lines;
  }();
  return text;
}

// The baseline: copying the binary bytes once.
void Memcpy(benchmark::State& state) {
  std::vector<unsigned char> copy(kSize);
  for (auto _ : state) {
    memcpy(copy.data(), Bytes().data(), kSize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void Encode_Korvex(benchmark::State& state) {
  CString text;
  for (auto _ : state) {
    CBase64::Encode(Bytes().data(), kSize, text);
    benchmark::DoNotOptimize(static_cast<const char*>(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void Encode_OpenSSL(benchmark::State& state) {
  std::vector<unsigned char> text(kSize / 3 * 4 + 8);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(text.data(), Bytes().data(), kSize));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void DecodeText(benchmark::State& state, const std::string& text) {
  CBuffer out;
  for (auto _ : state) {
    if (CBase64::Decode(text.c_str(), out) != 1) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.Ptr());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void Decode_Korvex(benchmark::State& state) { DecodeText(state, Text()); }

void Decode_OpenSSL(benchmark::State& state) {
  std::vector<unsigned char> out(kSize + 8);
  const std::string& text = Text();
  for (auto _ : state) {
    const int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < static_cast<int>(kSize)) state.SkipWithError("decode failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

void DecodeLines_Korvex(benchmark::State& state) { DecodeText(state, LineText()); }

// For reference: OpenSSL's streaming decoder, which accepts line breaks.
void DecodeLines_OpenSSLUpdate(benchmark::State& state) {
  std::vector<unsigned char> out(kSize + 8);
  const std::string& text = LineText();
  EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
  for (auto _ : state) {
    int n = 0, tail = 0;
    EVP_DecodeInit(ctx);
    if (EVP_DecodeUpdate(ctx, out.data(), &n, reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) < 0 ||
        EVP_DecodeFinal(ctx, out.data() + n, &tail) < 0)
      state.SkipWithError("decode failed");
    benchmark::ClobberMemory();
  }
  EVP_ENCODE_CTX_free(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

// Speed relative to another benchmark of the run, on CPU time, which other
// work on a shared machine disturbs least; every one times the same bytes.
bool Meets(const RatioReporter& reporter, const char* name, const char* base, double target) {
  const double time = reporter.Get(name).cpu, baseTime = reporter.Get(base).cpu;
  if (time <= 0 || baseTime <= 0) return true;  // not run (filtered out)
  const double ratio = baseTime / time;
  std::printf("%s: %.2fx %s (target %.2fx); %s\n", name, ratio, base, target, LoadAverage().c_str());
  return ratio >= target;
}

// Against memcpy, the two take turns (bench/turns.h): the copy's speed moves
// with the machine's other work more than the code's.
constexpr int kTurnBatch = 20;
TurnTimes g_decodeTurns, g_encodeTurns, g_memcpyBesideDecode, g_memcpyBesideEncode;

void AgainstMemcpy(benchmark::State& state) {
  std::vector<unsigned char> copy(kSize);
  CBuffer decoded;
  CString encoded;
  auto copies = [&] {
    for (int i = 0; i < kTurnBatch; ++i) {
      memcpy(copy.data(), Bytes().data(), kSize);
      benchmark::ClobberMemory();
    }
    return true;
  };
  auto decodes = [&] {
    for (int i = 0; i < kTurnBatch; ++i)
      if (CBase64::Decode(Text().c_str(), decoded) != 1) return false;
    return true;
  };
  auto encodes = [&] {
    for (int i = 0; i < kTurnBatch; ++i) CBase64::Encode(Bytes().data(), kSize, encoded);
    return true;
  };
  for (auto _ : state)
    if (!TakeTurns(100, copies, decodes, &g_memcpyBesideDecode, &g_decodeTurns) ||
        !TakeTurns(100, copies, encodes, &g_memcpyBesideEncode, &g_encodeTurns))
      state.SkipWithError("decode failed");
}

bool MeetsInTurns(const char* name, const TurnTimes& times, const TurnTimes& base, double target) {
  if (times.cpu.median_us <= 0) return true;  // not run (filtered out)
  const double ratio = base.cpu.median_us / times.cpu.median_us;
  std::printf("%s: %.2fx memcpy in turns (target %.2fx; %.1f us against %.1f us a batch); %s\n", name, ratio, target,
              times.cpu.median_us, base.cpu.median_us, LoadAverage().c_str());
  return ratio >= target;
}

}  // namespace

BENCHMARK(Memcpy);
BENCHMARK(Encode_Korvex);
BENCHMARK(Encode_OpenSSL);
BENCHMARK(Decode_Korvex);
BENCHMARK(Decode_OpenSSL);
BENCHMARK(DecodeLines_Korvex);
BENCHMARK(DecodeLines_OpenSSLUpdate);
BENCHMARK(AgainstMemcpy)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool met = MeetsInTurns("Encode_Korvex", g_encodeTurns, g_memcpyBesideEncode, 0.5);
  // Decoding measures the text and wipes the old block before it writes:
  // two passes over the bytes that a copy does not make.
  met = MeetsInTurns("Decode_Korvex", g_decodeTurns, g_memcpyBesideDecode, 0.33) && met;
  met = Meets(reporter, "Encode_Korvex", "Encode_OpenSSL", 2) && met;
  met = Meets(reporter, "Decode_Korvex", "Decode_OpenSSL", 2) && met;
  benchmark::Shutdown();
  return met ? 0 : 1;
}
