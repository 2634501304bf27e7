// Registry values as Win32 answers them, where the seeded transcript does not
// reach: the default value and query sizes, and the calls that reach values by
// a subkey's path (RegGetValueA's type filter and expansion).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

// Key "Src" with a value, a default value and a subkey "Sub" with a value.
void MakeSource(HKEY parent) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(parent, "Src", "v", REG_SZ, "one", 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(parent, "Src\\Sub", "deep", REG_BINARY, "\x01\x02", 2));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(parent, "Src", REG_SZ, "default", 0));
}

// A value read through RegGetValueA, or "<error>".
std::string Text(HKEY parent, const char* subKey, const char* name) {
  char buffer[64] = {};
  DWORD size = sizeof buffer;
  LONG rc = RegGetValueA(parent, subKey, name, RRF_RT_ANY, nullptr, buffer, &size);
  return rc == ERROR_SUCCESS ? std::string(buffer, size) : "<" + std::to_string(rc) + ">";
}

TEST(Win32RegistryValues, DefaultValueAndQuerySizes) {
  ScratchKey scratch;
  HKEY key = scratch.get();
  ASSERT_EQ(ERROR_SUCCESS, SetBytes(key, nullptr, REG_SZ, "default", 8));
  EXPECT_EQ(std::string("default\0", 8), ReadStored(key, "").bytes);  // NULL and "" name it alike
  BYTE buffer[8];
  DWORD size = 3, type = 0;
  // The buffer's size is read before the type (3) is written over it.
  DWORD number = 0x01020304, read = 0, both = 4;
  EXPECT_EQ((Rcs{ERROR_MORE_DATA, 8, ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
                 ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_SUCCESS, 0x01020304}),
            (Rcs{RegQueryValueExA(key, "", nullptr, &type, buffer, &size), LONG(size),
                 RegQueryValueExA(key, "", nullptr, &type, buffer, &size),
                 RegQueryValueExA(key, nullptr, nullptr, &type, buffer, nullptr),
                 RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr),
                 RegQueryValueExA(key, "absent", nullptr, &type, nullptr, &size), RegDeleteValueA(key, ""),
                 RegDeleteValueA(key, nullptr), SetBytes(key, "n", REG_BINARY, (const char*)&number, 4),
                 RegQueryValueExA(key, "n", nullptr, &both, (BYTE*)&read, &both), LONG(read)}));
  // Data promised but not given: refused, nothing stored.
  EXPECT_NE(ERROR_SUCCESS, RegSetValueExA(key, "none", 0, REG_BINARY, nullptr, 4));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "none", nullptr, nullptr, nullptr, nullptr));
}

TEST(Win32RegistryValues, GetValueFiltersTypes) {
  ScratchKey scratch;
  DWORD number = 7;
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "num", REG_DWORD, &number, 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin4", REG_BINARY, "abcd", 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "bin3", REG_BINARY, "abc", 3));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), "G", "text", REG_SZ, "hello", 6));
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

TEST(Win32RegistryValues, GetValueExpandsUnlessTold) {
  ScratchKey scratch;
  // PATH is set wherever the tests run, on both systems.
  char path[4096], unexpanded[32];
  DWORD pathLength = ExpandEnvironmentStringsA("%PATH%", path, sizeof path);
  ASSERT_LT(pathLength, sizeof path);
  EXPECT_EQ(strlen(path) + 1, pathLength);
  EXPECT_EQ(27u, ExpandEnvironmentStringsA("a%KORVEX_NOT_SET_ANYWHERE%", unexpanded, sizeof unexpanded));
  EXPECT_STREQ("a%KORVEX_NOT_SET_ANYWHERE%", unexpanded);

  const char stored[] = "<%PATH%>";
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch.get(), nullptr, "e", REG_EXPAND_SZ, stored, sizeof stored));
  std::string expanded = "<" + std::string(path) + ">";
  std::vector<char> buffer(expanded.size() + 16), raw(sizeof stored + 8);
  DWORD asked = 0, size = static_cast<DWORD>(buffer.size()), rawSize = static_cast<DWORD>(raw.size()), type = 0,
        rawType = 0;
  EXPECT_EQ((Rcs{ERROR_SUCCESS, ERROR_SUCCESS, REG_SZ, LONG(expanded.size() + 1), ERROR_SUCCESS, REG_EXPAND_SZ}),
            (Rcs{RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_SZ, &type, nullptr, &asked),
                 RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_SZ, &type, buffer.data(), &size), LONG(type),
                 LONG(size),
                 RegGetValueA(scratch.get(), nullptr, "e", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &rawType, raw.data(),
                              &rawSize),
                 LONG(rawType)}));
  EXPECT_GE(asked, expanded.size() + 1);  // the size asked for is enough
  EXPECT_EQ(expanded, buffer.data());
  EXPECT_STREQ(stored, raw.data());
}

TEST(Win32RegistryValues, SubkeyValueCallsCreateReadAndDelete) {
  ScratchKey scratch;
  MakeSource(scratch.get());
  EXPECT_EQ(std::string("one\0", 4), Text(scratch.get(), "Src", "v"));
  EXPECT_EQ(std::string("default\0", 8), Text(scratch.get(), "Src", nullptr));
  // A key without a default value reads as the empty text.
  char text[16], empty[16];
  LONG size = sizeof text, emptySize = sizeof empty, missingSize = sizeof text;
  EXPECT_EQ(
      (Rcs{0, 8, 0, 1, ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER, 0, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND}),
      (Rcs{RegQueryValueA(scratch.get(), "Src", text, &size), size,
           RegQueryValueA(scratch.get(), "Src\\Sub", empty, &emptySize), emptySize,
           RegQueryValueA(scratch.get(), "Nowhere", text, &missingSize),
           RegSetValueA(scratch.get(), "Src", REG_DWORD, "x", 2), RegDeleteKeyValueA(scratch.get(), "Src", "v"),
           RegDeleteKeyValueA(scratch.get(), "Src", "v"), RegDeleteKeyValueA(scratch.get(), "Nowhere", "v")}));
  EXPECT_EQ("default/", std::string(text) + "/" + empty);
  EXPECT_EQ("<2>", Text(scratch.get(), "Src", "v"));
}

}  // namespace
