// COptionStorage against the calls it makes: setting and getting 1,000
// numbered options per iteration in each mode, beside the same 1,000 raw
// registry calls or profile functions. The store should add little to them.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "korvex/korvex.h"

namespace {

const int kOptions = 1000;
std::string g_folder;
std::vector<std::string> g_names;

std::string IniPath() { return g_folder + "/options.ini"; }

// The store's registry mode: HKEY_CURRENT_USER\SOFTWARE\korvex-bench\options, section "Bench".
COptionStorage& RegistryStore() {
  static COptionStorage store;
  static bool opened = store.OpenRegistry("korvex-bench", "options") && store.SetSection("Bench");
  (void)opened;
  return store;
}

HKEY RawKey() {
  static HKEY key = nullptr;
  if (!key)
    RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\korvex-bench\\raw", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
  return key;
}

COptionStorage& IniStore() {
  static COptionStorage store;
  static bool opened = store.OpenIniFile(IniPath().c_str()) && store.SetSection("Bench");
  (void)opened;
  return store;
}

void Finish(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kOptions); }

void StoreRegistrySet(benchmark::State& state) {
  COptionStorage& store = RegistryStore();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) store.SetValue(g_names[i].c_str(), i);
  Finish(state);
}

void RawRegistrySet(benchmark::State& state) {
  HKEY key = RawKey();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) {
      DWORD number = static_cast<DWORD>(i);
      RegSetValueExA(key, g_names[i].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
  Finish(state);
}

void StoreRegistryGet(benchmark::State& state) {
  COptionStorage& store = RegistryStore();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) benchmark::DoNotOptimize(store.GetValue(g_names[i].c_str(), -1));
  Finish(state);
}

void RawRegistryGet(benchmark::State& state) {
  HKEY key = RawKey();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) {
      DWORD number = 0, type = 0, size = sizeof number;
      RegQueryValueExA(key, g_names[i].c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
      benchmark::DoNotOptimize(number);
    }
  Finish(state);
}

void StoreIniSet(benchmark::State& state) {
  COptionStorage& store = IniStore();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) store.SetValue(g_names[i].c_str(), i);
  Finish(state);
}

void RawIniSet(benchmark::State& state) {
  std::string path = IniPath();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) {
      char text[16];
      wsprintfA(text, "%d", i);
      WritePrivateProfileStringA("Bench", g_names[i].c_str(), text, path.c_str());
    }
  Finish(state);
}

void StoreIniGet(benchmark::State& state) {
  COptionStorage& store = IniStore();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) benchmark::DoNotOptimize(store.GetValue(g_names[i].c_str(), -1));
  Finish(state);
}

void RawIniGet(benchmark::State& state) {
  std::string path = IniPath();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i)
      benchmark::DoNotOptimize(GetPrivateProfileIntA("Bench", g_names[i].c_str(), -1, path.c_str()));
  Finish(state);
}

// The sets come first: the gets read what they wrote.
BENCHMARK(StoreRegistrySet)->Unit(benchmark::kMillisecond);
BENCHMARK(RawRegistrySet)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreRegistryGet)->Unit(benchmark::kMillisecond);
BENCHMARK(RawRegistryGet)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreIniSet)->Unit(benchmark::kMillisecond);
BENCHMARK(RawIniSet)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreIniGet)->Unit(benchmark::kMillisecond);
BENCHMARK(RawIniGet)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/korvex-bench-options-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  g_folder = folder;
  setenv("KORVEX_REGISTRY_DIR", folder, 1);
  for (int i = 0; i < kOptions; ++i) g_names.push_back("option" + std::to_string(i));
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* pair : {"RegistrySet", "RegistryGet", "IniSet", "IniGet"}) {
    RatioReporter::Times store = reporter.Get(std::string("Store") + pair), raw = reporter.Get(std::string("Raw") + pair);
    if (store.cpu > 0 && raw.cpu > 0)
      std::printf("%-12s 1,000 options: store %8.2f ms, raw calls %8.2f ms, ratio %.2f (CPU), %.2f (real)\n", pair,
                  store.cpu, raw.cpu, store.cpu / raw.cpu, store.real / raw.real);
  }
  benchmark::Shutdown();
  RegistryStore().Close();
  IniStore().Close();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
