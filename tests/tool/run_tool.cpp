#include "tests/tool/run_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/scratch_registry.h"

extern char** environ;

std::string ScratchFile(const std::string& name) { return ScratchFolderOfProgram() + name; }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& environment, const std::string& in,
            const std::string& out, const std::string& err) {
  std::vector<std::string> words{KORVEX_TOOL_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    bool overridden = false;
    for (const std::string& extra : environment)
      overridden |= text.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
    if (!overridden) entries.push_back(text);
  }
  entries.insert(entries.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error(std::string("cannot start the tool: ") + strerror(rc));
  return pid;
}

}  // namespace

pid_t StartTool(const std::vector<std::string>& args) {
  ScratchFolderOfProgram();  // the scratch registry, before the tool starts
  return Spawn(args, {}, "/dev/null", "/dev/null", "/dev/null");
}

ToolRun RunTool(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& environment) {
  static std::atomic<int> counter{0};
  std::string base = ScratchFile("run-" + std::to_string(counter++));
  WriteFileBytes(base + ".in", input);
  pid_t pid = Spawn(args, environment, base + ".in", base + ".out", base + ".err");
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);

  ToolRun run;
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.out = ReadFileBytes(base + ".out");
  run.err = ReadFileBytes(base + ".err");
  for (const char* suffix : {".in", ".out", ".err"}) unlink((base + suffix).c_str());
  return run;
}
