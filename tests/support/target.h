#ifndef KORVEX_TESTS_SUPPORT_TARGET_H
#define KORVEX_TESTS_SUPPORT_TARGET_H

// The target the tests were built for. The Windows build runs under Wine,
// whose Win32 differs from Windows' in the few places that ask.
#if defined(_WIN32)
constexpr bool kBuiltForWindows = true;
#else
constexpr bool kBuiltForWindows = false;
#endif

#endif
