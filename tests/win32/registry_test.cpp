// Registry calls the seeded transcript does not make: RegGetValueA's filter, data
// promised but not given, the current user's own handle, flushing, view flags.
#include <gtest/gtest.h>

#include <string>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

TEST(Win32RegistryValues, GetValueFiltersTypes) {
  ScratchKey scratch;
  DWORD number = 7;
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "num", REG_DWORD, &number, 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin4", REG_BINARY, "abcd", 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin3", REG_BINARY, "abc", 3));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "text", REG_SZ, "hello", 6));
  EXPECT_NE(ERROR_SUCCESS, RegSetValueExA(scratch.get(), "none", 0, REG_BINARY, nullptr, 4));  // no data for the size
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadStored(scratch.get(), "none").rc);
  struct Case {
    const char* name;
    DWORD flags;
    LONG rc;
  } cases[] = {
      {"num", RRF_RT_REG_DWORD, ERROR_SUCCESS},
      {"num", RRF_RT_REG_SZ, ERROR_UNSUPPORTED_TYPE},
      {"bin4", RRF_RT_DWORD, ERROR_SUCCESS},
      {"bin3", RRF_RT_DWORD, ERROR_DATATYPE_MISMATCH},
      {"text", RRF_RT_REG_SZ | RRF_RT_REG_DWORD, ERROR_SUCCESS},
      {"missing", RRF_RT_ANY, ERROR_FILE_NOT_FOUND},
      {"text", RRF_RT_REG_EXPAND_SZ, ERROR_INVALID_PARAMETER},
      {"text", 0, ERROR_UNSUPPORTED_TYPE},
  };
  for (const Case& c : cases) {
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(c.rc, RegGetValueA(scratch.get(), "G", c.name, c.flags, nullptr, buffer, &size))
        << c.name << "/" << c.flags;
  }
  // A short buffer, zeroed on failure when asked; a value the filter refuses
  // is handed out all the same.
  char buffer[4] = {'x', 'x', 'x', 'x'};
  DWORD size = sizeof buffer, type = 0, read = 0, readSize = sizeof read, readType = 0;
  EXPECT_EQ((Rcs{ERROR_MORE_DATA, 6, ERROR_UNSUPPORTED_TYPE, REG_DWORD, 4, 7, ERROR_INVALID_PARAMETER}),
            (Rcs{RegGetValueA(scratch.get(), "G", "text", RRF_RT_ANY | RRF_ZEROONFAILURE, &type, buffer, &size),
                 LONG(size), RegGetValueA(scratch.get(), "G", "num", RRF_RT_REG_BINARY, &readType, &read, &readSize),
                 LONG(readType), LONG(readSize), LONG(read),
                 RegGetValueA(scratch.get(), "G", "num", RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY | RRF_SUBKEY_WOW6432KEY,
                              nullptr, nullptr, nullptr)}));
  EXPECT_EQ(std::string(4, '\0'), std::string(buffer, 4));
}

TEST(Win32RegistryKeys, CurrentUserFlushAndDeleteKeyEx) {
  ScratchKey scratch;
  HKEY user = nullptr, key = nullptr;
  HKEY deleted = CreateKey(scratch.get(), "Flushed");
  RegCloseKey(CreateKey(scratch.get(), "Gone\\Leaf"));
  EXPECT_EQ(
      (Rcs{0, 0, 0, 0, 0, ERROR_INVALID_HANDLE, 0, ERROR_KEY_DELETED, ERROR_ACCESS_DENIED, 0, 0, ERROR_FILE_NOT_FOUND}),
      (Rcs{RegOpenCurrentUser(KEY_READ, &user), RegOpenKeyExA(user, scratch.path().c_str(), 0, KEY_READ, &key),
           RegFlushKey(key), RegCloseKey(key), RegCloseKey(user), RegFlushKey(key),
           RegDeleteKeyA(scratch.get(), "Flushed"), RegFlushKey(deleted),
           RegDeleteKeyExA(scratch.get(), "Gone", KEY_WOW64_32KEY, 0),
           RegDeleteKeyExA(scratch.get(), "Gone\\Leaf", KEY_WOW64_64KEY, 0),
           RegDeleteKeyExA(scratch.get(), "Gone", 0, 0), RegDeleteKeyExA(scratch.get(), "Gone", 0, 0)}));
  RegCloseKey(deleted);
}

}  // namespace
