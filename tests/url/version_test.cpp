#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "korvex/types.h"

// The library states its version where each platform keeps it: the version
// resource of korvex.dll, the file name and SONAME of libkorvex.so.
#if defined(_WIN32)

#include <winver.h>

namespace {

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return std::string(path, length);
}

std::string VersionString(const std::vector<char>& info, const char* name) {
  std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
  void* value = NULL;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), key.c_str(), &value, &length) || length == 0) return "<absent>";
  return static_cast<const char*>(value);
}

}  // namespace

TEST(Module, LoadsAndUnloadsWithNoOtherCall) {
  for (int round = 0; round < 2; ++round) {
    HMODULE module = LoadLibraryA("korvex.dll");
    ASSERT_NE(module, nullptr) << "round " << round << ", error " << GetLastError();
    EXPECT_TRUE(FreeLibrary(module)) << "round " << round;
  }
}

TEST(Module, VersionResourceNamesTheRelease) {
  HMODULE module = LoadLibraryA("korvex.dll");
  ASSERT_NE(module, nullptr);
  std::string path = ModulePath(module);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u) << path;
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  char fixedText[64];
  snprintf(fixedText, sizeof fixedText, "%lu.%lu.%lu.%lu", HIWORD(fixed->dwFileVersionMS) + 0ul,
           LOWORD(fixed->dwFileVersionMS) + 0ul, HIWORD(fixed->dwFileVersionLS) + 0ul,
           LOWORD(fixed->dwFileVersionLS) + 0ul);
  EXPECT_STREQ(KORVEX_PROJECT_VERSION, fixedText);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  EXPECT_EQ(VersionString(info, "FileVersion"), KORVEX_PROJECT_VERSION);
  EXPECT_EQ(VersionString(info, "ProductVersion"), KORVEX_PROJECT_VERSION);
  EXPECT_EQ(VersionString(info, "InternalName"), "korvex");
  EXPECT_EQ(VersionString(info, "OriginalFilename"), "korvex.DLL");
  FreeLibrary(module);
}

#else

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

namespace {

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The file the running program loaded the library from.
std::string LoadedLibraryPath() {
  bool (*exported)(const CString&, const char*) = &operator==;
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(exported), &info) || !info.dli_fname) return "";
  return info.dli_fname;
}

}  // namespace

TEST(Module, LoadsAndUnloadsWithNoOtherCall) {
  std::string path = LoadedLibraryPath();
  ASSERT_FALSE(path.empty());
  for (int round = 0; round < 2; ++round) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_EQ(dlclose(module), 0) << "round " << round;
  }
}

TEST(Module, SonameAndFileNameCarryTheRelease) {
  std::string path = LoadedLibraryPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(BaseName(path), "libkorvex.so.3");
  char real[PATH_MAX];
  ASSERT_NE(realpath(path.c_str(), real), nullptr) << path;
  EXPECT_EQ(BaseName(real), "libkorvex.so." KORVEX_PROJECT_VERSION);
}

#endif
