#ifndef KORVEX_PLATFORM_MBSTRING_H
#define KORVEX_PLATFORM_MBSTRING_H

// The runtime's multibyte comparisons (_mbscmp, _mbsicmp), for the sources
// that compare names the way the products do.
#include "korvex/platform.h"

#if defined(_WIN32)
#include <mbstring.h>
#endif

#endif
