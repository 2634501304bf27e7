// The release number where Linux keeps it: the library's soname and file name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "korvex/types.h"

namespace {

// The name the running program loaded the library by, and the file behind it.
TEST(Module, SonameAndFileNameCarryTheRelease) {
  bool (*exported)(const CString&, const char*) = &operator==;
  Dl_info info;
  char real[PATH_MAX];
  ASSERT_TRUE(dladdr(reinterpret_cast<void*>(exported), &info) && realpath(info.dli_fname, real));
  const std::string path = info.dli_fname, file = real;
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "libkorvex.so.3");
  EXPECT_EQ(file.substr(file.rfind('/') + 1), "libkorvex.so." KORVEX_PROJECT_VERSION);
}

}  // namespace
