// Every writer of the library on a full disk: a small tmpfs, mounted in a
// mount namespace of a child process, is filled to the last byte. Each write
// must fail, and everything stored before must read back afterwards.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "korvex/korvex.h"
#include "tests/posix/registry_scratch.h"
#include "tests/tool/run_tool.h"

namespace {

constexpr int kNoTmpfs = 77;

struct Disk {
  std::string folder;
  std::string Path(const char* name) const { return folder + "/" + name; }
};

// A new tmpfs at the folder, seen by this process and its children only.
bool MountSmallDisk(const Disk& disk) {
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  if (mount("tmpfs", disk.folder.c_str(), "tmpfs", 0, "size=1m") != 0) return false;
  setenv("KORVEX_REGISTRY_DIR", disk.folder.c_str(), 1);
  setenv("XDG_CONFIG_HOME", disk.Path("config").c_str(), 1);
  return true;
}

void Fill(const Disk& disk) {
  FILE* filler = fopen(disk.Path("filler").c_str(), "w");
  std::string block(4096, 'f');
  while (fwrite(block.data(), 1, block.size(), filler) == block.size() && fflush(filler) == 0) {
  }
  fclose(filler);
}

LONG SetKept(const char* text) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc == ERROR_SUCCESS) rc = RegSetValueExA(key, "k", 0, REG_SZ, (const BYTE*)text, strlen(text) + 1);
  if (key) RegCloseKey(key);
  return rc;
}

// Every store the library writes, in both directions: "old" into each, or
// whether each still holds it (0 when all do, else the first that does not).
int EachStore(const Disk& disk, const char* value, bool store) {
  CIniFile model;
  model.SetValue("S", "k", value);
  COptionStorage options, registry;
  options.OpenIniFile(disk.Path("options.ini").c_str());
  registry.OpenRegistry("Vendor", "Product");
  char text[16];
  if (store) {
    model.Write(disk.Path("model.ini").c_str());
    WritePrivateProfileStringA("S", "k", value, disk.Path("profile.ini").c_str());
    options.SetValue("k", value);
    registry.SetValue("k", value);
    return SetKept(value);
  }
  GetPrivateProfileStringA("S", "k", "", text, sizeof text, disk.Path("profile.ini").c_str());
  if (strcmp(text, value) != 0) return 1;
  if (options.GetValue("k", CString("")) != CString(value)) return 2;
  if (registry.GetValue("k", CString("")) != CString(value)) return 3;
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_CURRENT_USER, "Kept", "k", RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS ||
      strcmp(text, value) != 0)
    return 4;
  return 0;
}

// In the child, on the full disk: 0 when every write failed and nothing is lost.
int TryWrites(const Disk& disk, const std::string& regFile) {
  std::string big(16 * 1024, 'n');  // within the profile line bound
  CIniFile model;
  model.SetValue("S", "k", big.c_str());
  if (model.Write(disk.Path("model.ini").c_str())) return 10;
  SetLastError(0);
  if (WritePrivateProfileStringA("S", "k", big.c_str(), disk.Path("profile.ini").c_str()) ||
      GetLastError() != ERROR_DISK_FULL)
    return 11;
  COptionStorage options, registry;
  options.OpenIniFile(disk.Path("options.ini").c_str());
  options.SetValue("k", big.c_str());
  registry.OpenRegistry("Vendor", "Product");
  registry.SetValue("k", big.c_str());
  if (SetKept(big.c_str()) == ERROR_SUCCESS) return 12;
  ToolRun import = RunTool({"reg", "import", regFile});
  if (import.status <= 0) return 13;  // refused, not crashed
  HKEY imported = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Imported", 0, KEY_READ, &imported) == ERROR_SUCCESS) return 14;
  // A fresh process, with room again, finds everything as it was.
  remove(disk.Path("filler").c_str());
  int check = RunInChild([&] { return EachStore(disk, "old", false); });
  return check ? 20 + check : 0;
}

TEST(FullDisk, EveryWriterFailsCleanlyAndKeepsWhatWasStored) {
  Disk disk{ScratchFile("disk")};
  mkdir(disk.folder.c_str(), 0700);
  std::string regFile = ScratchFile("full.reg");
  WriteFileBytes(regFile,
                 "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Imported]\r\n\"small\"=\"s\"\r\n"
                 "\"big\"=\"" +
                     std::string(64 * 1024, 'i') + "\"\r\n");
  int rc = RunInChild([&] {
    if (!MountSmallDisk(disk)) return kNoTmpfs;
    int stored = EachStore(disk, "old", true);
    if (stored != 0) return 1;
    Fill(disk);
    // As a hive restored from a backup that left out its side files.
    remove(disk.Path("user.db-writes").c_str());
    return TryWrites(disk, regFile);
  });
  if (rc == kNoTmpfs) GTEST_SKIP() << "no tmpfs could be mounted here";
  EXPECT_EQ(0, rc);
}

}  // namespace
