#include "tests/support/recorder.h"

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

// The running test program's own path.
static std::filesystem::path ThisProgram() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

std::string FolderOfThisProgram() { return (ThisProgram().parent_path() / "").string(); }

std::string ProgramExtension() { return ThisProgram().extension().string(); }

std::string RecorderPath() { return FolderOfThisProgram() + "record_args" + ProgramExtension(); }

Recording::Recording() {
  static std::atomic<int> counter{0};
  file_ = ScratchFolderOfProgram() + "record-" + std::to_string(counter++) + ".args";
#ifdef _WIN32
  _putenv_s("KORVEX_RECORD_FILE", file_.c_str());
#else
  setenv("KORVEX_RECORD_FILE", file_.c_str(), 1);
#endif
}

bool Recording::Exists() const { return std::filesystem::exists(file_); }

std::optional<std::vector<std::string>> Recording::Wait() const {
  // Generous for a loaded machine: a start under Wine takes a good part of a
  // second. The file may show before it can be opened (Windows).
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::ifstream in;
  while (!Exists() || (in.open(file_, std::ios::binary), !in.is_open())) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::vector<std::string> args;
  for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
  return args;
}
