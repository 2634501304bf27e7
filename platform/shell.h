#ifndef KORVEX_PLATFORM_SHELL_H
#define KORVEX_PLATFORM_SHELL_H

// The shell's calls (folder paths, deleting a key tree, starting a program, a
// module's DllGetVersion), for the sources that make them. Kept out of
// korvex/platform.h: the shell headers declare names such as Folder that would
// collide with a product's own.
#include "korvex/platform.h"

#if defined(_WIN32)
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
// shlwapi's A/W switch would rename CUrlInfo::ParseURL; the library never
// calls the shell's URL parser.
#undef ParseURL
#endif

#endif
