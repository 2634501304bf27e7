// korvex watch end to end: a line for a change, and a clean end on a signal.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const auto kDeadline = std::chrono::seconds(20);

// The tool started with its standard output and error on pipes.
class Watching {
public:
  explicit Watching(const std::vector<std::string>& args) {
    int out[2], err[2];
    EXPECT_EQ(0, pipe(out));
    EXPECT_EQ(0, pipe(err));
    std::vector<std::string> words{KORVEX_TOOL_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    EXPECT_EQ(0, posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Watching() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(err_);
  }

  // The next line of standard output (or error), or "<none>" when none came in time.
  std::string OutLine(Clock::duration wait = kDeadline) { return Line(out_, outText_, wait); }
  std::string ErrLine() { return Line(err_, errText_, kDeadline); }

  // The exit status after the signal, or -1 when it did not exit normally in time.
  int Stop(int signal) {
    kill(pid_, signal);
    auto end = Clock::now() + kDeadline;
    int status = 0;
    while (Clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  // The lines of standard output not read yet, once it closed; "<torn>" after
  // a line without its end.
  std::vector<std::string> Rest() {
    std::vector<std::string> lines;
    for (std::string line; (line = Line(out_, outText_, kDeadline)) != "<none>";) lines.push_back(line);
    if (!outText_.empty()) lines.push_back("<torn>");
    return lines;
  }

private:
  static std::string Line(int fd, std::string& text, Clock::duration wait) {
    auto end = Clock::now() + wait;
    while (text.find('\n') == std::string::npos) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      pollfd wait{fd, POLLIN, 0};
      if (left <= 0 || poll(&wait, 1, left) <= 0) return "<none>";
      char bytes[256];
      ssize_t got = read(fd, bytes, sizeof bytes);
      if (got <= 0) return "<none>";
      text.append(bytes, static_cast<size_t>(got));
    }
    std::string line = text.substr(0, text.find('\n'));
    text.erase(0, line.size() + 1);
    return line;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  std::string outText_, errText_;
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(ToolWatch, PrintsALinePerChangeAndEndsCleanlyOnASignal) {
  ScratchKey key;
  std::string folder = ScratchFile("watched");
  mkdir(folder.c_str(), 0755);
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the lines and the first message name
    std::function<void(int)> change;
    int signal;
  } cases[] = {
      {{"watch", "reg", "HKCU\\" + key.path()},
       "HKEY_CURRENT_USER\\" + key.path(),
       [&](int i) {
         DWORD value = static_cast<DWORD>(i);
         RegSetValueExA(key.get(), "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
       },
       SIGINT},
      {{"watch", "folder", folder},
       folder,
       [&](int i) { WriteFileBytes(folder + "/file-" + std::to_string(i), "x"); },
       SIGTERM},
  };
  for (Case& c : cases) {
    Watching watch(c.args);
    EXPECT_EQ("watching " + c.named + " until interrupted", watch.ErrLine());
    // A change made while the previous line is being printed is not seen (the
    // watcher waits again only afterwards), so each line's change is repeated
    // until it shows.
    int changes = 0;
    for (int line = 0; line < 2; ++line) {
      std::string text = "<none>";
      for (auto end = Clock::now() + kDeadline; text == "<none>" && Clock::now() < end;) {
        c.change(changes++);
        text = watch.OutLine(std::chrono::milliseconds(500));
      }
      EXPECT_TRUE(EndsWith(text, " changed " + c.named)) << c.named << ": " << text;
    }
    EXPECT_EQ(0, watch.Stop(c.signal)) << c.named;
    // A repeated change may have given a line of its own, but nothing else is said.
    for (const std::string& line : watch.Rest()) EXPECT_TRUE(EndsWith(line, " changed " + c.named)) << line;
  }
}

TEST(ToolWatch, RefusesWhatCannotBeWatched) {
  const std::vector<std::string> cases[] = {
      {"watch", "reg", "HKCU\\Software\\korvex-tests\\no such key"},
      {"watch", "folder", ScratchFile("no such folder")},
  };
  for (const std::vector<std::string>& args : cases) {
    ToolRun run = RunTool(args);
    EXPECT_EQ(1, run.status) << args[2];
    EXPECT_EQ("", run.out) << args[2];
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

}  // namespace
