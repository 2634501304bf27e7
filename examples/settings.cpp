// A product's settings: the option store in registry mode and in INI mode, and
// a window that hears when another process changes them.
//   settings            runs the example
//   settings --change N the other process: changes the settings and ends
#include <korvex/korvex.h>
#include <stdio.h>
#include <string.h>

static const UINT WM_SETTINGS_CHANGED = WM_APP + 1;
static const UINT_PTR kWriterTimer = 1;
static const int kMaxWriters = 30;  // one a second: a generous deadline

// Every setting of this example lives below HKEY_CURRENT_USER\SOFTWARE\Quorvanta\Example.
static int ChangeSettings(const char* writer) {
  COptionStorage options;
  if (!options.OpenRegistry("Quorvanta", "Example") || !options.SetSection("Window")) return 1;
  options.SetValue("Columns", 133);
  options.SetValue("Writer", writer);
  return 0;
}

// Starts this program again as the other process.
static void StartWriter(int number) {
  char self[MAX_PATH];
  if (!GetModuleFileNameA(NULL, self, sizeof self)) return;
  ShellExecuteA(NULL, "open", self, csFmt("--change %d", number), NULL, SW_HIDE);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static int writers = 0;
  if (message == WM_SETTINGS_CHANGED) {
    printf("window: heard a change made by another process\n");
    PostQuitMessage(0);
    return 0;
  }
  // The watcher's worker may not be waiting yet when a writer runs: start
  // one a second until the window hears of a change.
  if (message == WM_TIMER && wParam == kWriterTimer) {
    if (++writers > kMaxWriters)
      PostQuitMessage(1);
    else
      StartWriter(writers);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv) {
  if (argc > 2 && strcmp(argv[1], "--change") == 0) return ChangeSettings(argv[2]);

  COptionStorage registry;
  if (!registry.OpenRegistry("Quorvanta", "Example") || !registry.SetSection("Window")) return 1;
  registry.SetValue("Columns", 132);
  registry.SetValue("Host", "host.example");
  printf("registry: Columns=%d Host=%s\n", registry.GetValue("Columns", 80),
         static_cast<const char*>(registry.GetValue("Host", "")));

  // INI mode: setup.ini in a folder of the user's application-data folder,
  // which the store does not create.
  char appData[MAX_PATH];
  CString folder;
  if (FAILED(SHGetFolderPathA(NULL, CSIDL_APPDATA | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT, appData))) return 1;
  folder = appData;
  if (!AppendPath(folder, "KorvexExample") || !EnsureFolderExist(folder)) return 1;
  COptionStorage ini;
  if (!ini.OpenIniFile("KorvexExample", "setup.ini") || !ini.SetSection("Window")) return 1;
  ini.SetValue("Columns", 100);
  printf("ini: Columns=%d Rows=%d\n", ini.GetValue("Columns", 80), ini.GetValue("Rows", 25));

  // A window of our own class hears of changes below the key.
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "KorvexExampleSettings";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window =
      CreateWindowExA(0, windowClass.lpszClassName, "settings", 0, 0, 0, 0, 0, NULL, NULL, windowClass.hInstance, NULL);
  CRegistry key;
  if (!window || !key.Open(HKEY_CURRENT_USER, "SOFTWARE\\Quorvanta\\Example", 0, KEY_READ)) return 1;
  CRegistryWatcher watcher;
  if (!watcher.BeginWatch(key.GetSafeHkey(), TRUE, window, WM_SETTINGS_CHANGED, REG_NOTIFY_CHANGE_LAST_SET)) return 1;
  SetTimer(window, kWriterTimer, 1000, NULL);
  StartWriter(0);

  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  watcher.EndWatch();
  DestroyWindow(window);
  printf("registry: Columns=%d\n", registry.GetValue("Columns", 80));
  return static_cast<int>(msg.wParam);
}
