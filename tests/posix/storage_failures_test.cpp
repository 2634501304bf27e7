// CRegistry, RenameKey and COptionStorage over a registry and a profile file
// that cannot be written: a read-only folder, and a full disk (RLIMIT_FSIZE with
// SIGXFSZ ignored). Every call answers, old data stays readable and whole.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "korvex/korvex.h"
#include "tests/posix/registry_scratch.h"

namespace {

const char kIniName[] = "options.ini";

// The hives are private to their owner: the child that drops to nobody (below)
// is let read them, not write them.
void ReadOnlyFolders(const ScratchFolder& scratch) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.path()))
    chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
  chmod(scratch.path().c_str(), 0555);
}

// In the child: root ignores permissions, so it becomes nobody.
void DropPrivileges() {
  if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
}

void FillDisk() {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {64 * 1024, 64 * 1024};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(91);
}

// Old\Deep holds 300 values of 4000 bytes: more than a full disk lets through.
void BuildOldData(const std::string& iniPath) {
  CRegistry deep;
  ASSERT_EQ(1, deep.Open(HKEY_CURRENT_USER, "Software\\Kept\\Old\\Deep", 1, KEY_ALL_ACCESS));
  std::string block(4000, 'b');
  for (int i = 0; i < 300; ++i)
    ASSERT_EQ(1, deep.SetValue(("v" + std::to_string(i)).c_str(), reinterpret_cast<const unsigned char*>(block.data()),
                               static_cast<unsigned long>(block.size())));
  ASSERT_EQ(1, deep.SetValue("text", "old"));
  COptionStorage store;
  ASSERT_EQ(1, store.OpenIniFile(iniPath.c_str()));
  store.SetValue("text", "old");
}

// 0 when the old data reads back whole.
int CheckOldData(const std::string& iniPath) {
  CRegistry deep;
  if (!deep.Open(HKEY_CURRENT_USER, "Software\\Kept\\Old\\Deep", 0, KEY_READ)) return 10;
  if (CString("old") != deep.GetValue("text", CString())) return 11;
  unsigned char data[4000];
  for (int i = 0; i < 300; ++i) {
    unsigned long size = sizeof data;
    if (!deep.QueryValue(("v" + std::to_string(i)).c_str(), data, &size) || size != 4000 || data[3999] != 'b')
      return 12;
  }
  COptionStorage store;
  if (!store.OpenIniFile(iniPath.c_str())) return 13;
  return CString("old") == store.GetValue("text", "gone") ? 0 : 14;
}

// In the child, with the files unwritable: 0 when every change fails cleanly.
int TryChanges(const std::string& iniPath) {
  CRegistry kept;
  // Without a hive it can open, a read-only folder may refuse the key outright.
  if (kept.Open(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_ALL_ACCESS)) {
    std::string big(1 << 20, 'x');
    if (kept.SetValue("big", reinterpret_cast<const unsigned char*>(big.data()),
                      static_cast<unsigned long>(big.size())))
      return 1;
    if (kept.RenameKey("Old", "New")) return 2;
    CRegistry deep;
    if (deep.Open(&kept, "Old\\Deep", 0, KEY_ALL_ACCESS) && deep.DeleteAllValues()) return 3;
  }
  COptionStorage store;
  if (!store.OpenIniFile(iniPath.c_str())) return 4;
  // Larger than a full disk lets through: the file keeps its old text.
  store.SetValue("text", std::string(70 * 1024, 'n').c_str());
  return CheckOldData(iniPath);
}

TEST(StorageFailures, UnwritableFilesKeepTheOldData) {
  struct Case {
    const char* name;
    void (*beforeChild)(const ScratchFolder&);
    void (*inChild)();
  } cases[] = {
      {"read-only folder", ReadOnlyFolders, DropPrivileges},
      {"full disk", nullptr, FillDisk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch;
    std::string iniPath = scratch / (std::string("config/") + kIniName);
    mkdir((scratch / "config").c_str(), 0755);
    BuildOldData(iniPath);
    if (c.beforeChild) c.beforeChild(scratch);
    void (*inChild)() = c.inChild;
    EXPECT_EQ(0, RunInChild([&] {
                inChild();
                return TryChanges(iniPath);
              }));
    chmod(scratch.path().c_str(), 0755);
    chmod((scratch / "config").c_str(), 0755);
    EXPECT_EQ(0, CheckOldData(iniPath));
    CRegistry kept;
    ASSERT_EQ(1, kept.Open(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_READ));
    char name[16];
    EXPECT_EQ(0, kept.EnumKey(1, name, sizeof name));  // no "New" beside "Old"
  }
}

// The POSIX registry keeps one difference from Win32 here: creating a subkey
// needs KEY_CREATE_SUB_KEY on the parent handle, so a rename through a key
// held for reading fails before anything is copied.
TEST(StorageFailures, RenameThroughAReadOnlyParentChangesNothing) {
  ScratchFolder scratch;
  CRegistry setup, reader;
  ASSERT_EQ(1, setup.Open(HKEY_CURRENT_USER, "Software\\Kept\\Old", 1, KEY_ALL_ACCESS));
  ASSERT_EQ(1, setup.SetValue("v", "old"));
  ASSERT_EQ(1, reader.Open(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_READ));
  EXPECT_EQ(0, reader.RenameKey("Old", "New"));
  char name[16];
  EXPECT_EQ(0, reader.EnumKey(1, name, sizeof name));
  EXPECT_STREQ("old", setup.GetValue("v", CString()));
}

}  // namespace
