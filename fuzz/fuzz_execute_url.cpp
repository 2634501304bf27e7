// ExecuteURL on any text, with a recording ShellExecuteA in place of the real
// one (this program's own definition takes the library's place, see
// fuzz_execute_url.cmake): the result is 0 or 1, a 1 means exactly one start
// and a 0 none, and a start carries one of the table's parameter texts.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "korvex/platform.h"
#include "korvex/url.h"

namespace {

int g_starts = 0;
std::string g_parameters;
std::string g_folder;

void RemoveFolder() { std::filesystem::remove_all(g_folder); }

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

void Register(const char* product) {
  HKEY key = NULL;
  std::string name = std::string("Software\\Quorvanta\\") + product + "\\2";
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
    abort();
  const char* folder = getenv("KORVEX_REGISTRY_DIR");
  RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), static_cast<DWORD>(strlen(folder) + 1));
  RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("2.0"), 4);
  RegCloseKey(key);
}

}  // namespace

extern "C" HINSTANCE ShellExecuteA(HWND, LPCSTR, LPCSTR, LPCSTR parameters, LPCSTR, int) {
  ++g_starts;
  g_parameters = parameters ? parameters : "";
  return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(42));
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The three products in a registry of this run's own.
  char folder[] = "/tmp/korvex-fuzz-XXXXXX";
  if (!mkdtemp(folder)) abort();
  setenv("KORVEX_REGISTRY_DIR", folder, 1);
  g_folder = folder;
  atexit(RemoveFolder);
  for (const char* product : {"Torvik", "Skiv", "Quellbar"}) Register(product);
  // Fuzzing the real ShellExecuteA would start programs: make sure ours is in place.
  if (ExecuteURL("ssh://h") != 1 || g_starts != 1) {
    fprintf(stderr, "fuzz_execute_url: the recording ShellExecuteA is not the one called\n");
    abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  g_starts = 0;
  int result = ExecuteURL(text.c_str());
  if (result != 0 && result != 1) abort();
  if (g_starts != result) abort();
  if (result && !StartsWith(g_parameters, "-url ") && !StartsWith(g_parameters, ":[0] -query ")) abort();
  return 0;
}
