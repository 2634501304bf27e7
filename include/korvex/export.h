#ifndef KORVEX_EXPORT_H
#define KORVEX_EXPORT_H

// KORVEX_API marks what the library exports; everything else stays hidden.
#if defined(_WIN32)
#if defined(KORVEX_BUILDING)
#define KORVEX_API __declspec(dllexport)
#else
#define KORVEX_API __declspec(dllimport)
#endif
#else
#define KORVEX_API __attribute__((visibility("default")))
#endif

#endif
