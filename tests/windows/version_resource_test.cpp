// The release number where Windows keeps it: the library's version resource.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <winver.h>

#include <string>
#include <vector>

namespace {

// The version resource of the library beside this program (nothing here
// calls into it, so the linker keeps no import of it).
TEST(Module, ItsVersionResourceNamesTheRelease) {
  HMODULE library = LoadLibraryA("korvex.dll");
  ASSERT_NE(nullptr, library);
  char path[MAX_PATH];
  path[GetModuleFileNameA(library, path, sizeof path)] = '\0';
  FreeLibrary(library);
  DWORD handle = 0, size = GetFileVersionInfoSizeA(path, &handle);
  std::vector<char> info(size);
  ASSERT_TRUE(size > 0 && GetFileVersionInfoA(path, 0, size, info.data())) << path;
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed);
  // Signature, file version, product version equal to it, file type.
  char fixedText[96];
  snprintf(fixedText, sizeof fixedText, "%lx %lu.%lu.%lu.%lu %d %lu", fixed->dwSignature + 0ul,
           HIWORD(fixed->dwFileVersionMS) + 0ul, LOWORD(fixed->dwFileVersionMS) + 0ul,
           HIWORD(fixed->dwFileVersionLS) + 0ul, LOWORD(fixed->dwFileVersionLS) + 0ul,
           fixed->dwFileVersionMS == fixed->dwProductVersionMS && fixed->dwFileVersionLS == fixed->dwProductVersionLS,
           fixed->dwFileType + 0ul);
  EXPECT_EQ(fixedText, "feef04bd " KORVEX_PROJECT_VERSION " 1 " + std::to_string(VFT_DLL));
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
}

}  // namespace
