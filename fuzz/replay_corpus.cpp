// A fuzz target's own checks as a plain program: every file of the folders
// (or the files) named on the command line goes through LLVMFuzzerTestOneInput
// once; a check that fails aborts, and so does a hang, after the file's name
// is shown.
#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Targets that prepare something first (a registry, a recording shell) define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!std::filesystem::is_directory(argv[i]))
      inputs.push_back(argv[i]);
    else
      for (const auto& entry : std::filesystem::directory_iterator(argv[i])) inputs.push_back(entry.path());
  }
  // An empty or missing corpus would pass without checking anything.
  if (inputs.empty()) {
    fprintf(stderr, "no inputs\n");
    return 1;
  }
  for (const std::filesystem::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof()) {
      fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    fprintf(stderr, "%s\n", input.c_str());
    alarm(60);  // an input that hangs its target ends the replay (SIGALRM), named above
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
