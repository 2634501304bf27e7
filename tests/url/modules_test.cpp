// Modules: loading through CDllLoader and their names.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

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

// Each row: loaded, GetVersion's result and the version (the low halves: major
// low, minor high; untouched without a working export), the probe's result.
TEST(CDllLoader, VersionAndExports) {
  const std::pair<std::string, const char*> cases[] = {
      {Module(1), "1 1 10006 7"},
      {Module(0), "1 0 deadbeef 7"},
      {Module(2), "1 0 deadbeef 7"},
      {FolderOfThisProgram() + "no_such_module" KORVEX_MODULE_SUFFIX, "0 0 deadbeef none"},
  };
  for (const auto& [path, expected] : cases) {
    CDllLoader loader(path.c_str(), 1);
    unsigned long version = 0xDEADBEEF;
    const int versioned = loader.GetVersion(&version);
    char got[64];
    snprintf(got, sizeof got, "%d %d %lx ", loader.IsLoaded(), versioned, version);
    FARPROC probe = loader.GetProcAddress("ModuleProbe");
    std::string probed =
        probe ? std::to_string(reinterpret_cast<ProbeProc>(reinterpret_cast<void (*)(void)>(probe))()) : "none";
    EXPECT_EQ(got + probed, expected) << path;
    EXPECT_TRUE(loader.GetVersion(NULL) == 0 && loader.GetProcAddress("NoSuchExport") == NULL) << path;
  }
}

// Copies borrow the module: only the loading object, when asked to, frees it.
TEST(CDllLoader, OnlyTheLoadingObjectFreesTheModule) {
  const std::string path = Module(1);
  ASSERT_FALSE(IsInProcess(path));
  {
    CDllLoader owner(path.c_str(), 1);
    {
      CDllLoader copy(owner);
      CDllLoader assigned(Module(0).c_str(), 1);
      assigned = owner;  // frees what it owned
      EXPECT_EQ(copy.IsLoaded() + assigned.IsLoaded(), 2);
      owner = copy;  // the same module: the owner stays the owner
    }
    EXPECT_TRUE(IsInProcess(path)) << "a copy freed the module";
  }
  EXPECT_FALSE(IsInProcess(path)) << "the owner did not free the module";
  EXPECT_FALSE(IsInProcess(Module(0))) << "assignment did not free what the target owned";
  { CDllLoader kept(path.c_str(), 0); }
  HMODULE module = GetModuleHandleA(path.c_str());
  EXPECT_TRUE(module != NULL && FreeLibrary(module));
}

TEST(GetModuleFileNameA, NamesTheModuleOrTheProgramAndCutsToTheBuffer) {
  SetLastError(0);
  EXPECT_TRUE(LoadLibraryA("") == NULL && GetLastError() == ERROR_MOD_NOT_FOUND);
  HMODULE module = LoadLibraryA(Module(1).c_str());
  ASSERT_TRUE(module != NULL);
  char path[MAX_PATH];
  std::string name(path, GetModuleFileNameA(module, path, sizeof path));
  EXPECT_EQ(name.substr(name.find_last_of("\\/") + 1), "version_module_1" KORVEX_MODULE_SUFFIX);
  EXPECT_TRUE(FreeLibrary(module));

  std::string program(path, GetModuleFileNameA(NULL, path, sizeof path));
  EXPECT_EQ(program.substr(program.find_last_of("\\/") + 1), "modules_test" + ProgramExtension());
  // One byte short of the terminating zero: cut, and said so (the last byte differs by Windows version).
  std::vector<char> exact(program.size(), '#');
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(NULL, exact.data(), static_cast<DWORD>(exact.size())), exact.size());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(exact.data(), exact.size() - 1), program.substr(0, program.size() - 1));
}
