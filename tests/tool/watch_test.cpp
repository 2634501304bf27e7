// korvex watch end to end: a line for a change, and a clean end on a signal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

using Clock = std::chrono::steady_clock;

// The tool, started with its standard output and error on one pipe.
class Watching {
public:
  explicit Watching(const std::vector<std::string>& args) : fd_(StartTool(args, &pid_)) {}
  ~Watching() {
    Stop(SIGKILL);
    close(fd_);
  }
  // The next line, or "<none>" when none came in time or the tool is gone.
  std::string Line(Clock::duration wait = std::chrono::seconds(20)) {
    for (auto end = Clock::now() + wait; text_.find('\n') == std::string::npos;) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      pollfd ready{fd_, POLLIN, 0};
      char bytes[256];
      ssize_t got = left > 0 && poll(&ready, 1, left) > 0 ? read(fd_, bytes, sizeof bytes) : 0;
      if (got <= 0) return "<none>";
      text_.append(bytes, static_cast<size_t>(got));
    }
    std::string line = text_.substr(0, text_.find('\n'));
    text_.erase(0, line.size() + 1);
    return line;
  }
  // Sends the signal; the lines said until the tool closed its output (or the
  // deadline passed, when it is killed), then "status N" or "killed".
  std::vector<std::string> Stop(int signal) {
    std::vector<std::string> said;
    if (pid_ < 0) return said;
    kill(pid_, signal);
    for (std::string line; (line = Line()) != "<none>";) said.push_back(line);
    if (!text_.empty()) said.push_back("<torn> " + text_);
    int status = 0;
    kill(pid_, SIGKILL);  // closed its output, so it has exited unless it hangs
    waitpid(pid_, &status, 0);
    said.push_back(WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status)) : "killed");
    pid_ = -1;
    return said;
  }

private:
  pid_t pid_ = -1;
  int fd_;
  std::string text_;
};

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
       [&](int i) { RegSetValueExA(key.get(), "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i); },
       SIGINT},
      {{"watch", "folder", folder},
       folder,
       [&](int i) { WriteFileBytes(folder + "/file-" + std::to_string(i), "x"); },
       SIGTERM},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.named);
    Watching watch(c.args);
    EXPECT_EQ("watching " + c.named + " until interrupted", watch.Line());
    // A change made while the previous line is being printed is not seen (the
    // watcher waits again only afterwards), so each line's change is repeated
    // until it shows.
    int changes = 0;
    for (int line = 0; line < 2; ++line) {
      std::string text = "<none>";
      for (auto end = Clock::now() + std::chrono::seconds(20); text == "<none>" && Clock::now() < end;) {
        c.change(changes++);
        text = watch.Line(std::chrono::milliseconds(500));
      }
      EXPECT_THAT(text, testing::EndsWith(" changed " + c.named));
    }
    // A repeated change may have given a line of its own, but nothing else is said.
    std::vector<std::string> said = watch.Stop(c.signal);
    EXPECT_EQ("status 0", said.back());
    said.pop_back();
    for (const std::string& line : said) EXPECT_THAT(line, testing::EndsWith(" changed " + c.named));
  }
  for (std::string what : {"reg|HKCU\\Software\\korvex-tests\\no such key", "folder|/no such folder"}) {
    ToolRun run = RunTool({"watch", what.substr(0, what.find('|')), what.substr(what.find('|') + 1)});
    EXPECT_EQ(1, run.status) << what;
    EXPECT_EQ("", run.out) << what;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

}  // namespace
