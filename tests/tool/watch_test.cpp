// korvex watch end to end: a line for a change, and a clean end on a signal.
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

using Clock = std::chrono::steady_clock;

// The tool, started with its standard output and error on one pipe.
struct Watching {
  explicit Watching(const std::vector<std::string>& args) : fd(StartTool(args, &pid)) {}
  ~Watching() {
    if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    close(fd);
  }
  // The next line, or "<none>" when none came in time or the output closed.
  std::string Line(Clock::duration wait = std::chrono::seconds(20)) {
    for (auto end = Clock::now() + wait; text.find('\n') == std::string::npos;) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
      pollfd ready{fd, POLLIN, 0};
      char bytes[256];
      ssize_t got = left > 0 && poll(&ready, 1, left) > 0 ? read(fd, bytes, sizeof bytes) : 0;
      if (got <= 0) return "<none>";
      text.append(bytes, static_cast<size_t>(got));
    }
    std::string line = text.substr(0, text.find('\n'));
    text.erase(0, line.size() + 1);
    return line;
  }

  pid_t pid = -1;
  int fd;
  std::string text;
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
    // A change made while a line is printed goes unseen: repeat it until it shows.
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
    kill(watch.pid, c.signal);
    for (std::string line; (line = watch.Line()) != "<none>";)
      EXPECT_THAT(line, testing::EndsWith(" changed " + c.named));
    EXPECT_EQ("", watch.text);  // no line cut short
    int status = 0;
    kill(watch.pid, SIGKILL);  // it closed its output, so it has exited unless it hangs
    waitpid(std::exchange(watch.pid, -1), &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const std::vector<std::string> refused[] = {{"watch", "reg", "HKCU\\Software\\korvex-tests\\no such key"},
                                              {"watch", "folder", "/no such folder"}};
  for (const std::vector<std::string>& args : refused) {
    ToolRun run = RunTool(args);
    EXPECT_EQ(1, run.status) << args[2];
    EXPECT_EQ("", run.out) << args[2];
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

// The deletion is said, and the watch follows the key once it is created again.
TEST(ToolWatch, FollowsTheKeyThroughItsDeletionAndRecreation) {
  ScratchKey scratch;
  std::string child = scratch / "watched", json;
  for (char c : "HKEY_CURRENT_USER\\" + child) json += c == '\\' ? std::string("\\\\") : std::string(1, c);
  auto create = [](const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    return key;
  };
  RegCloseKey(create(child));
  Watching watch({"watch", "reg", "--json", "HKCU\\" + child});
  ASSERT_EQ("watching HKEY_CURRENT_USER\\" + child + " until interrupted", watch.Line());
  // The watchers start after that line: a change is repeated until it shows.
  auto repeatedUntilSaid = [&](const std::function<void()>& change) {
    std::string line = "<none>";
    for (auto end = Clock::now() + std::chrono::seconds(20); line == "<none>" && Clock::now() < end;) {
      change();
      line = watch.Line(std::chrono::milliseconds(500));
    }
    return line;
  };
  SHDeleteKeyA(HKEY_CURRENT_USER, child.c_str());
  EXPECT_THAT(repeatedUntilSaid([&] {
                RegCloseKey(create(scratch / "other"));
                SHDeleteKeyA(HKEY_CURRENT_USER, (scratch / "other").c_str());
              }),
              testing::EndsWith("\"deleted\":\"" + json + "\"}"));
  // The watch on the names arms again only after the deletion was said: a
  // creation that came first goes unheard, so it is repeated.
  EXPECT_THAT(repeatedUntilSaid([&] {
                SHDeleteKeyA(HKEY_CURRENT_USER, child.c_str());
                RegCloseKey(create(child));
              }),
              testing::EndsWith("\"created\":\"" + json + "\"}"));
  HKEY key = create(child);
  DWORD value = 0;
  EXPECT_THAT(repeatedUntilSaid([&] {
                ++value;
                RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
              }),
              testing::EndsWith("\"changed\":\"" + json + "\"}"));
  RegCloseKey(key);
}

}  // namespace
