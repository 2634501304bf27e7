#ifndef KORVEX_PLATFORM_STDIO_H
#define KORVEX_PLATFORM_STDIO_H

// The runtime's file streams by their Windows names (_fsopen with its sharing
// modes, 64-bit _ftelli64 and _fseeki64), for the sources that open files.
#include <stdio.h>

#include "korvex/platform.h"

#if defined(_WIN32)
#include <share.h>
#endif

#endif
