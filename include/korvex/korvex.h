#ifndef KORVEX_KORVEX_H
#define KORVEX_KORVEX_H

/// @file
/// Every family of the library, and the Win32 names, in one include.

#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"
#include "korvex/buffer.h"
#include "korvex/paths.h"
#include "korvex/url.h"
#include "korvex/text.h"
#include "korvex/settings.h"
#include "korvex/registry.h"
#include "korvex/timer.h"

#endif
