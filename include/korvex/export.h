#ifndef KORVEX_EXPORT_H
#define KORVEX_EXPORT_H

/// @file
/// The export marker.

/// @addtogroup frame
/// @{

#if defined(_WIN32)
#if defined(KORVEX_BUILDING)
#define KORVEX_API __declspec(dllexport)
#else
#define KORVEX_API __declspec(dllimport)
#endif
#else
/// Marks what the library exports; everything else stays hidden.
#define KORVEX_API __attribute__((visibility("default")))
#endif

/// @}

#endif
