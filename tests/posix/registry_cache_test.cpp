// The registry's reads from memory: what another process wrote shows at this
// process's very next read, whatever it read before, on both hives.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kPath[] = "Software\\Cached";

// What each kind of read tells of kPath: a value on the open key and by path,
// a subkey by path, the key's figures, its values in order. Read twice, so the
// second reads come from memory; they must agree with the first.
std::string Reads(HKEY root, HKEY key) {
  std::string rounds[2];
  for (std::string& seen : rounds) {
    char text[32] = "";
    DWORD size = sizeof text;
    LONG rc = RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    seen += "query " + std::to_string(rc) + " " + text;
    size = sizeof text;
    rc = RegGetValueA(root, kPath, "v", RRF_RT_REG_SZ, nullptr, text, &size);
    seen += ", get " + std::to_string(rc) + " " + text;
    HKEY sub = nullptr;
    seen += ", open " + std::to_string(RegOpenKeyExA(root, (std::string(kPath) + "\\New").c_str(), 0, KEY_READ, &sub));
    if (sub) RegCloseKey(sub);
    DWORD subkeys = 0, values = 0, longest = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, &longest, nullptr,
                     nullptr);
    seen += ", info " + std::to_string(subkeys) + "/" + std::to_string(values) + "/" + std::to_string(longest);
    seen += ", " + Tree(key, false);
  }
  EXPECT_EQ(rounds[0], rounds[1]);
  return rounds[1];
}

struct Change {
  const char* what;
  LONG (*write)(HKEY root);
  const char* seen;  // what Reads gives after it and the changes before it
};

HKEY OpenCached(HKEY root) {
  HKEY key = nullptr;
  return RegOpenKeyExA(root, kPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key : nullptr;
}

const Change kChanges[] = {
    {"a value set",
     [](HKEY root) {
       HKEY key = OpenCached(root);
       LONG rc = SetText(key, "v", "longer");
       RegCloseKey(key);
       return rc;
     },
     "query 0 longer, get 0 longer, open 2, info 0/1/7, v=longer;"},
    {"a key made where none was found",
     [](HKEY root) {
       HKEY key = nullptr;
       LONG rc = RegCreateKeyExA(root, (std::string(kPath) + "\\New").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr);
       RegCloseKey(key);
       return rc;
     },
     "query 0 longer, get 0 longer, open 0, info 1/1/7, v=longer;[New]{}"},
    {"a value added and one deleted",
     [](HKEY root) {
       HKEY key = OpenCached(root);
       LONG rc = SetText(key, "a", "1");
       if (rc == ERROR_SUCCESS) rc = RegDeleteValueA(key, "v");
       RegCloseKey(key);
       return rc;
     },
     "query 2 , get 2 , open 0, info 1/1/2, a=1;[New]{}"},
};

TEST(RegistryCache, AnotherProcessesWriteShowsAtTheNextRead) {
  ScratchFolder scratch;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    SCOPED_TRACE(root == HKEY_CURRENT_USER ? "user" : "machine");
    HKEY key = CreateKey(root, kPath);
    ASSERT_EQ(ERROR_SUCCESS, SetText(key, "v", "old"));
    EXPECT_EQ("query 0 old, get 0 old, open 2, info 0/1/4, v=old;", Reads(root, key));
    for (const Change& change : kChanges) {
      SCOPED_TRACE(change.what);
      ASSERT_EQ(0, RunInChild([&] { return static_cast<int>(change.write(root)); }));
      EXPECT_EQ(change.seen, Reads(root, key));
    }
    RegCloseKey(key);
  }
}

// Threads read one value while another thread sets it again and again: no
// read goes back to an older number than one read before it, and once the
// writer is done each reads the last.
TEST(RegistryCache, ThreadsNeverReadBackInTime) {
  ScratchFolder scratch;
  constexpr DWORD kWrites = 300;
  HKEY key = CreateKey(HKEY_CURRENT_USER, kPath);
  ASSERT_EQ(ERROR_SUCCESS, SetNumber(key, "n", 0));
  std::atomic<bool> written{false};
  std::vector<std::string> faults(3);
  std::vector<std::thread> readers;
  for (std::string& fault : faults) {
    readers.emplace_back([&] {
      DWORD last = 0;
      for (bool done = false; !done;) {
        done = written.load();
        DWORD number = 0, size = sizeof number;
        if (RegQueryValueExA(key, "n", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
            number < last)
          fault = "read " + std::to_string(number) + " after " + std::to_string(last);
        last = number;
      }
      if (last != kWrites) fault = "ended on " + std::to_string(last);
    });
  }
  LONG rc = ERROR_SUCCESS;
  for (DWORD n = 1; n <= kWrites && rc == ERROR_SUCCESS; ++n) rc = SetNumber(key, "n", n);
  written = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(ERROR_SUCCESS, rc);
  EXPECT_EQ(std::vector<std::string>(3), faults);
  RegCloseKey(key);
}

}  // namespace
