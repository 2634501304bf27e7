// korvex watch end to end: a line for a change, and a clean end on a signal.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
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

namespace {

using Clock = std::chrono::steady_clock;
const auto kDeadline = std::chrono::seconds(20);

// The tool, started with its standard output and error on pipes.
class Watching {
public:
  explicit Watching(const std::vector<std::string>& args) : pid_(StartTool(args, fds_)) {}
  ~Watching() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    close(fds_[0]), close(fds_[1]);
  }
  // The next line of standard output (stream 0) or error (1), or "<none>"
  // when none came in time.
  std::string Line(int stream, Clock::duration wait = kDeadline) {
    std::string& text = text_[stream];
    for (auto end = Clock::now() + wait; text.find('\n') == std::string::npos;) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      pollfd ready{fds_[stream], POLLIN, 0};
      char bytes[256];
      ssize_t got = left > 0 && poll(&ready, 1, left) > 0 ? read(fds_[stream], bytes, sizeof bytes) : 0;
      if (got <= 0) return "<none>";
      text.append(bytes, static_cast<size_t>(got));
    }
    std::string line = text.substr(0, text.find('\n'));
    text.erase(0, line.size() + 1);
    return line;
  }
  // The exit status after the signal, or -1 when it did not exit normally in time.
  int Stop(int signal) {
    kill(pid_, signal);
    int status = 0;
    for (auto end = Clock::now() + kDeadline; Clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (waitpid(pid_, &status, WNOHANG) == pid_) return pid_ = -1, WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return -1;
  }
  bool Torn() const { return !text_[0].empty(); }

private:
  int fds_[2];
  pid_t pid_;
  std::string text_[2];
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
    EXPECT_EQ("watching " + c.named + " until interrupted", watch.Line(1));
    // A change made while the previous line is being printed is not seen (the
    // watcher waits again only afterwards), so each line's change is repeated
    // until it shows.
    int changes = 0;
    for (int line = 0; line < 2; ++line) {
      std::string text = "<none>";
      for (auto end = Clock::now() + kDeadline; text == "<none>" && Clock::now() < end;) {
        c.change(changes++);
        text = watch.Line(0, std::chrono::milliseconds(500));
      }
      EXPECT_TRUE(EndsWith(text, " changed " + c.named)) << text;
    }
    EXPECT_EQ(0, watch.Stop(c.signal));
    // A repeated change may have given a line of its own, but nothing else is said.
    for (std::string line; (line = watch.Line(0)) != "<none>";)
      EXPECT_TRUE(EndsWith(line, " changed " + c.named)) << line;
    EXPECT_FALSE(watch.Torn());
  }
  for (std::string what : {"reg|HKCU\\Software\\korvex-tests\\no such key", "folder|/no such folder"}) {
    ToolRun run = RunTool({"watch", what.substr(0, what.find('|')), what.substr(what.find('|') + 1)});
    EXPECT_EQ(1, run.status) << what;
    EXPECT_EQ("", run.out) << what;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

}  // namespace
