#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "korvex/types.h"

// The library states its version where each platform keeps it: the version
// resource of korvex.dll, the file name and SONAME of libkorvex.so.
#if defined(_WIN32)

#include <winver.h>

TEST(Module, LoadsUnloadsAndItsVersionResourceNamesTheRelease) {
  for (int round = 0; round < 2; ++round) {
    HMODULE module = LoadLibraryA("korvex.dll");
    ASSERT_NE(module, nullptr) << "round " << round << ", error " << GetLastError();
    EXPECT_TRUE(FreeLibrary(module)) << "round " << round;
  }
  HMODULE module = LoadLibraryA("korvex.dll");
  ASSERT_NE(module, nullptr);
  char path[MAX_PATH];
  path[GetModuleFileNameA(module, path, sizeof path)] = '\0';
  DWORD handle = 0, size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u) << path;
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, info.data()));

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

  const char* const strings[][2] = {{"FileVersion", KORVEX_PROJECT_VERSION},
                                    {"ProductVersion", KORVEX_PROJECT_VERSION},
                                    {"InternalName", "korvex"},
                                    {"OriginalFilename", "korvex.DLL"}};
  for (const auto& s : strings) {
    void* value = NULL;
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + s[0];
    ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), &value, &length) && length > 0) << s[0];
    EXPECT_STREQ(static_cast<const char*>(value), s[1]);
  }
  FreeLibrary(module);
}

#else

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

TEST(Module, LoadsUnloadsAndSonameAndFileNameCarryTheRelease) {
  // The file the running program loaded the library from.
  bool (*exported)(const CString&, const char*) = &operator==;
  Dl_info info;
  ASSERT_TRUE(dladdr(reinterpret_cast<void*>(exported), &info) && info.dli_fname);
  std::string path = info.dli_fname;
  for (int round = 0; round < 2; ++round) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_EQ(dlclose(module), 0) << "round " << round;
  }
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "libkorvex.so.3");
  char real[PATH_MAX];
  ASSERT_NE(realpath(path.c_str(), real), nullptr) << path;
  EXPECT_EQ(std::string(real).substr(std::string(real).rfind('/') + 1), "libkorvex.so." KORVEX_PROJECT_VERSION);
}

#endif
