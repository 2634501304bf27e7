// korvex watch: the library's change watchers on a message loop, one line per
// change until SIGINT or SIGTERM.
#include <pthread.h>
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <stdio.h>
#include <time.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <functional>
#include <thread>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/completion/command_tree.h"
#include "tools/reg/reg_key_path.h"
#include "tools/reg/reg_store.h"
#include "tools/formats/json.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

const UINT kChanged = WM_APP + 1;
const UINT kStop = WM_APP + 2;
const char kWindowClass[] = "korvex-watch";

struct WatchOptions {
  std::string target;
  bool subtree = false;
  bool json = false;
};

std::string g_watched;  // what the lines name
bool g_json = false;    // lines as JSON objects
const UINT kNamesChanged = WM_APP + 3;
std::function<void()> g_namesChanged;  // a key was created or deleted somewhere in the hive

// One line a change, flushed at once: whoever reads the lines reads them from a pipe.
void PrintLine(const char* what) {
  char stamp[16];
  time_t now = time(nullptr);
  strftime(stamp, sizeof stamp, "%H:%M:%S", localtime(&now));
  if (g_json)
    printf("{\"time\":\"%s\",\"%s\":%s}\n", stamp, what, JsonString(g_watched).c_str());
  else
    printf("%s %s %s\n", stamp, what, g_watched.c_str());
  fflush(stdout);
}

LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kChanged) {
    PrintLine("changed");
    return 0;
  }
  if (message == kNamesChanged) {
    g_namesChanged();
    return 0;
  }
  if (message == kStop) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A hidden window whose procedure prints the watchers' messages.
class WatchWindow {
public:
  WatchWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WatchWindowProc;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!window_) throw ToolError("cannot create the window that receives the changes");
  }
  ~WatchWindow() {
    DestroyWindow(window_);
    UnregisterClassA(kWindowClass, nullptr);
  }
  HWND get() const { return window_; }

private:
  HWND window_ = nullptr;
};

// Runs the message loop until SIGINT or SIGTERM. The signals are taken by a
// thread of their own (sigwait), which asks the loop to end with a posted
// message; no library call runs inside a signal handler. `begin` starts the
// watcher, after the signals are blocked so that its worker inherits the mask.
void RunUntilSignalled(const std::string& watched, bool json, const std::function<void(HWND)>& begin,
                       const std::function<void()>& end) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  g_watched = watched;
  g_json = json;
  WatchWindow window;
  begin(window.get());
  fprintf(stderr, "watching %s until interrupted\n", watched.c_str());

  std::atomic<bool> signalled{false};
  std::thread waiter([&] {
    int number = 0;
    sigwait(&signals, &number);
    signalled = true;
    PostMessageA(window.get(), kStop, 0, 0);
  });
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  end();
  // A loop that ended otherwise still has the waiter waiting.
  if (!signalled) pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
}

// The watched key, followed through its deletion and re-creation: the
// key's own watcher ends quietly with it, so a watch on the root's names
// notices both.
class FollowedKey {
public:
  FollowedKey(const KeyPath& path, bool subtree) : path_(path), subtree_(subtree) {}
  ~FollowedKey() { Close(); }

  // Watches the key when it exists; whether it does.
  bool Begin(HWND window) {
    window_ = window;
    if (RegOpenKeyExA(path_.root, path_.subkey.c_str(), 0, KEY_NOTIFY | KEY_READ, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return false;
    }
    if (!watcher_.BeginWatch(key_, subtree_, window, kChanged, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET))
      throw ToolError("cannot watch " + path_.Full());
    return true;
  }
  // A handle to a deleted key stays open but answers nothing.
  void NamesChanged() {
    if (key_ && RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr) == ERROR_SUCCESS)
      return;
    if (key_) {
      Close();
      PrintLine("deleted");
    }
    if (Begin(window_)) PrintLine("created");
  }
  void Close() {
    watcher_.EndWatch();
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

private:
  KeyPath path_;
  bool subtree_;
  HWND window_ = nullptr;
  HKEY key_ = nullptr;
  CRegistryWatcher watcher_;
};

void WatchRegistry(const WatchOptions& options) {
  KeyPath path;
  std::string why;
  if (!ParseKeyPath(options.target, &path, &why)) throw ToolError(why, kExitUsage);
  OpenKey key;
  OpenExisting(path, KEY_NOTIFY | KEY_READ, &key);
  FollowedKey followed(path, options.subtree);
  CRegistryWatcher names;
  g_namesChanged = [&] { followed.NamesChanged(); };
  RunUntilSignalled(
      path.Full(), options.json,
      [&](HWND window) {
        if (!followed.Begin(window) || !names.BeginWatch(path.root, 1, window, kNamesChanged, REG_NOTIFY_CHANGE_NAME))
          throw ToolError("cannot watch " + path.Full());
      },
      [&] {
        names.EndWatch();
        followed.Close();
      });
}

void WatchFolder(const WatchOptions& options) {
  CFolderWatcher watcher;
  RunUntilSignalled(
      options.target, options.json,
      [&](HWND window) {
        if (!watcher.BeginWatch(options.target.c_str(), options.subtree, window, kChanged,
                                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                    FILE_NOTIFY_CHANGE_LAST_WRITE))
          throw ToolError("cannot watch the folder " + options.target + ": " + strerror(errno));
      },
      [&] { watcher.EndWatch(); });
}

}  // namespace

void AddWatchCommand(CLI::App& app) {
  static WatchOptions options;
  CLI::App* watch = AddCommandGroup(app, "watch", "Print a line for each change until interrupted (Ctrl-C)");
  watch->footer(
      "A line may stand for several changes that came close together. A watched key that is deleted gives a "
      "\"deleted\" line, and the watch goes on: once the key is created again, a \"created\" line, then its "
      "changes.");

  CLI::App* reg = AddAction(watch, "reg", "Watch a registry key's values and subkeys", [] { WatchRegistry(options); });
  CompletesRegistryKey(reg->add_option("KEY", options.target, "HKCU\\... or HKLM\\...")->required());
  reg->add_flag("-s,--recursive,--subtree", options.subtree, "changes in every key below count too");
  reg->add_flag("--json", options.json,
                "each line a JSON object: {\"time\":...,\"changed\":...}, or \"deleted\" or \"created\" for the key");

  CLI::App* folder = AddAction(watch, "folder", "Watch a folder's files and subfolders", [] { WatchFolder(options); });
  folder->add_option("DIR", options.target, "the folder")->required();
  folder->add_flag("-s,--recursive,--subtree", options.subtree, "changes in every folder below count too");
  folder->add_flag("--json", options.json, "each line a JSON object: {\"time\":...,\"changed\":...}");
}

}  // namespace korvex_tool
