#ifndef KORVEX_URL_LAUNCHERS_H
#define KORVEX_URL_LAUNCHERS_H

#include "frame/tool_api.h"
#include "korvex/types.h"

namespace korvex {

// How a product receives the URL.
enum class LaunchParameters {
  kDisplayQuery,  // ":[0] -query " and the host
  kWholeUrl,      // "-url " and the record as MakeURL writes it
};

struct Launcher {
  const char* scheme;
  const char* product;
  LaunchParameters parameters;
};

// The row serving `scheme` (compared case-insensitively), or NULL.
KORVEX_TOOL_API const Launcher* FindLauncher(const CString& scheme);

// Every row, in the order FindLauncher tests them.
struct LauncherTable {
  KORVEX_TOOL_API const Launcher* begin() const;
  KORVEX_TOOL_API const Launcher* end() const;
};

}  // namespace korvex

#endif
