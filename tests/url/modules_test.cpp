#include <gtest/gtest.h>

#include <string>

#include "korvex/platform.h"
#include "korvex/url.h"
#include "tests/support/recorder.h"

namespace {

// 0: no DllGetVersion; 1: reports 0x10006.0x20001; 2: fails. See tests/programs.
std::string Module(int kind) {
  return FolderOfThisProgram() + "version_module_" + std::to_string(kind) + KORVEX_MODULE_SUFFIX;
}

bool IsInProcess(const std::string& module) { return GetModuleHandleA(module.c_str()) != NULL; }

typedef INT_PTR(WINAPI* ProbeProc)(void);

}  // namespace

TEST(CDllLoader, VersionPacksTheLowHalvesMajorLowMinorHigh) {
  CDllLoader loader(Module(1).c_str(), 1);
  unsigned long version = 0;
  // The module answers only a record whose size is set.
  ASSERT_EQ(loader.GetVersion(&version), 1);
  EXPECT_EQ(version, 0x00010006ul);
}

TEST(CDllLoader, WithoutAWorkingVersionExportTheOutputStaysUntouched) {
  struct Case {
    std::string path;
    int loaded;
  } cases[] = {
      {Module(0), 1},
      {Module(2), 1},
      {FolderOfThisProgram() + "no_such_module" + KORVEX_MODULE_SUFFIX, 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CDllLoader loader(c.path.c_str(), 1);
    EXPECT_EQ(loader.IsLoaded(), c.loaded);
    unsigned long version = 0xDEADBEEF;
    EXPECT_EQ(loader.GetVersion(&version), 0);
    EXPECT_EQ(version, 0xDEADBEEFul);
    EXPECT_EQ(loader.GetVersion(NULL), 0);
    EXPECT_EQ(loader.GetProcAddress("NoSuchExport") == NULL, true);
    FARPROC probe = loader.GetProcAddress("ModuleProbe");
    ASSERT_EQ(probe != NULL, c.loaded == 1);
    if (probe) {
      EXPECT_EQ(reinterpret_cast<ProbeProc>(reinterpret_cast<void (*)(void)>(probe))(), 7);
    }
  }
}

TEST(CDllLoader, OnlyTheLoadingObjectFreesTheModule) {
  const std::string path = Module(1);
  ASSERT_FALSE(IsInProcess(path));
  {
    CDllLoader owner(path.c_str(), 1);
    {
      CDllLoader copy(owner);
      CDllLoader assigned(Module(0).c_str(), 0);
      assigned = owner;
      EXPECT_EQ(copy.IsLoaded(), 1);
      EXPECT_EQ(assigned.IsLoaded(), 1);
      // Assigning a borrower back to the owner keeps the owner owning.
      owner = copy;
    }
    EXPECT_TRUE(IsInProcess(path)) << "a copy freed the module";
  }
  EXPECT_FALSE(IsInProcess(path)) << "the owner did not free the module";

  // Two loading objects hold a reference each.
  {
    CDllLoader first(path.c_str(), 1);
    { CDllLoader second(path.c_str(), 1); }
    EXPECT_TRUE(IsInProcess(path));
  }
  EXPECT_FALSE(IsInProcess(path));
}

TEST(CDllLoader, AssignmentFreesWhatTheTargetOwnedAndTheFlagZeroKeepsTheModule) {
  const std::string path = Module(1);
  {
    CDllLoader target(path.c_str(), 1);
    CDllLoader other(Module(0).c_str(), 1);
    target = other;
    EXPECT_FALSE(IsInProcess(path));
  }
  { CDllLoader kept(path.c_str(), 0); }
  HMODULE module = GetModuleHandleA(path.c_str());
  ASSERT_TRUE(module != NULL);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(IsInProcess(path));
}

TEST(GetModuleFileNameA, NamesTheModuleOrTheProgramAndCutsToTheBuffer) {
  HMODULE module = LoadLibraryA(Module(1).c_str());
  ASSERT_TRUE(module != NULL);
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  ASSERT_GT(length, 0u);
  std::string name(path, length);
  EXPECT_EQ(name.substr(name.find_last_of("\\/") + 1), "version_module_1" KORVEX_MODULE_SUFFIX);

  length = GetModuleFileNameA(NULL, path, sizeof path);
  ASSERT_GT(length, 0u);
  std::string program(path, length);
  EXPECT_EQ(program.substr(program.find_last_of("\\/") + 1), "modules_test" + ProgramExtension());

  char small[6];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(NULL, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small, 5), program.substr(0, 5));
  EXPECT_TRUE(FreeLibrary(module));
}
