#ifndef KORVEX_FRAME_TOOL_API_H
#define KORVEX_FRAME_TOOL_API_H

// KORVEX_TOOL_API marks the few internal functions that the korvex tool calls
// through libkorvex.so, so the tool takes every fix the library gets. They
// carry the symbol version KORVEX_PRIVATE (cmake/korvex.map), which no product
// may link against; they change without notice. Windows has no tool: hidden.
#if defined(_WIN32)
#define KORVEX_TOOL_API
#else
#define KORVEX_TOOL_API __attribute__((visibility("default")))
#endif

#endif
