// COptionStorage against the calls it makes: setting and getting 1,000
// numbered options per iteration in each mode, beside the same 1,000 raw
// registry calls or profile functions. The store should add little to them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/load_average.h"
#include "bench/ratio_reporter.h"
#include "korvex/korvex.h"

namespace {

const int kOptions = 1000;
std::string g_iniPath;
std::vector<std::string> g_names;

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
  static bool opened = store.OpenIniFile(g_iniPath.c_str()) && store.SetSection("Bench");
  (void)opened;
  return store;
}

// The profile functions cache a file only once it is older than their
// timestamp step; dating it back lets the store and the raw calls read alike
// right after the sets, instead of whichever runs first parsing the file per call.
void SettleIniFile() {
  const struct timespec old = {time(nullptr) - 60, 0};
  const struct timespec times[2] = {old, old};
  utimensat(AT_FDCWD, g_iniPath.c_str(), times, 0);
}

// One benchmark body: `op(i)` for each of the 1,000 options per iteration.
template <class Op>
void PerOption(benchmark::State& state, Op op, void (*before)()) {
  if (before) before();
  for (auto _ : state)
    for (int i = 0; i < kOptions; ++i) op(i);
  state.SetItemsProcessed(state.iterations() * kOptions);
}

template <class Op>
void Register(const char* name, Op op, void (*before)() = nullptr) {
  benchmark::RegisterBenchmark(name, [op, before](benchmark::State& state) {
    PerOption(state, op, before);
  })->Unit(benchmark::kMillisecond);
}

// The sets come first: the gets read what they wrote.
void RegisterAll() {
  COptionStorage* registry = &RegistryStore();
  COptionStorage* ini = &IniStore();
  HKEY key = RawKey();
  Register("StoreRegistrySet", [registry](int i) { registry->SetValue(g_names[i].c_str(), i); });
  Register("RawRegistrySet", [key](int i) {
    DWORD number = static_cast<DWORD>(i);
    RegSetValueExA(key, g_names[i].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  });
  Register("StoreRegistryGet",
           [registry](int i) { benchmark::DoNotOptimize(registry->GetValue(g_names[i].c_str(), -1)); });
  Register("RawRegistryGet", [key](int i) {
    DWORD number = 0, type = 0, size = sizeof number;
    RegQueryValueExA(key, g_names[i].c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    benchmark::DoNotOptimize(number);
  });
  Register("StoreIniSet", [ini](int i) { ini->SetValue(g_names[i].c_str(), i); });
  Register("RawIniSet", [](int i) {
    char text[16];
    wsprintfA(text, "%d", i);
    WritePrivateProfileStringA("Bench", g_names[i].c_str(), text, g_iniPath.c_str());
  });
  Register(
      "StoreIniGet", [ini](int i) { benchmark::DoNotOptimize(ini->GetValue(g_names[i].c_str(), -1)); }, SettleIniFile);
  Register(
      "RawIniGet",
      [](int i) {
        benchmark::DoNotOptimize(GetPrivateProfileIntA("Bench", g_names[i].c_str(), -1, g_iniPath.c_str()));
      },
      SettleIniFile);
}

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/korvex-bench-options-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  g_iniPath = std::string(folder) + "/options.ini";
  setenv("KORVEX_REGISTRY_DIR", folder, 1);
  for (int i = 0; i < kOptions; ++i) g_names.push_back("option" + std::to_string(i));
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* pair : {"RegistrySet", "RegistryGet", "IniSet", "IniGet"}) {
    RatioReporter::Times store = reporter.Get(std::string("Store") + pair),
                         raw = reporter.Get(std::string("Raw") + pair);
    if (store.cpu > 0 && raw.cpu > 0)
      std::printf("%-12s 1,000 options: store %8.2f ms, raw calls %8.2f ms, ratio %.2f (CPU), %.2f (real); %s\n", pair,
                  store.cpu, raw.cpu, store.cpu / raw.cpu, store.real / raw.real, LoadAverage().c_str());
  }
  benchmark::Shutdown();
  RegistryStore().Close();
  IniStore().Close();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
