#include "tests/support/recorder.h"

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

// Generous for a loaded machine: a start under Wine takes a good part of a second.
const std::chrono::seconds kDeadline(30);

void SetRecordFile(const std::string& file) {
#ifdef _WIN32
  _putenv_s("KORVEX_RECORD_FILE", file.c_str());
#else
  setenv("KORVEX_RECORD_FILE", file.c_str(), 1);
#endif
}

std::string ThisProgram() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

}  // namespace

std::string FolderOfThisProgram() {
  std::string path = ThisProgram();
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ProgramExtension() {
  std::string name = ThisProgram().substr(FolderOfThisProgram().size());
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string RecorderPath() { return FolderOfThisProgram() + "record_args" + ProgramExtension(); }

Recording::Recording() {
  static std::atomic<int> counter{0};
  file_ = ScratchFolderOfProgram() + "record-" + std::to_string(counter++) + ".args";
  SetRecordFile(file_);
}

bool Recording::Exists() const { return std::filesystem::exists(file_); }

std::optional<std::vector<std::string>> Recording::Wait() const {
  auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (!Exists()) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream in(file_, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (size_t start = 0, end; start < bytes.size(); start = end + 1) {
    end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    args.push_back(bytes.substr(start, end - start));
  }
  return args;
}
