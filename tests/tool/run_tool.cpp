#include "tests/tool/run_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

extern char** environ;

std::string ScratchFile(const std::string& name) { return ScratchFolderOfProgram() + name; }

namespace {

pid_t Spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions) {
  ScratchFolderOfProgram();  // the scratch registry, before the tool starts
  std::vector<std::string> words{KORVEX_TOOL_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  pid_t pid = 0;
  // A tool that writes without end is stopped at 16 MB, not when the disk is
  // full; the bound is the child's alone.
  rlimit own{};
  getrlimit(RLIMIT_FSIZE, &own);
  const rlimit bound{std::min<rlim_t>(own.rlim_cur, 16 << 20), own.rlim_max};
  setrlimit(RLIMIT_FSIZE, &bound);
  int rc = posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ);
  setrlimit(RLIMIT_FSIZE, &own);
  posix_spawn_file_actions_destroy(actions);
  if (rc != 0) throw std::runtime_error(std::string("cannot start the tool: ") + strerror(rc));
  return pid;
}

}  // namespace

int StartTool(const std::vector<std::string>& args, pid_t* pid) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  *pid = Spawn(args, &actions);
  close(out[1]);
  return out[0];
}

ToolRun RunTool(const std::vector<std::string>& args, const std::string& input) {
  static std::atomic<int> counter{0};
  std::string base = ScratchFile("run-" + std::to_string(counter++));
  WriteFileBytes(base + ".in", input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, (base + ".in").c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ToolRun run;
  run.status = ChildExitCode(Spawn(args, &actions));
  run.out = ReadFileBytes(base + ".out");
  run.err = ReadFileBytes(base + ".err");
  for (const char* suffix : {".in", ".out", ".err"}) unlink((base + suffix).c_str());
  return run;
}
