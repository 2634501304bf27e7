#ifndef KORVEX_PLATFORM_H
#define KORVEX_PLATFORM_H

/// @file
/// The Win32 names the library is written against: the real SDK on Windows,
/// our own subset (the Linux layer) everywhere else.
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "korvex/posix/base.h"
#include "korvex/posix/text.h"
#include "korvex/posix/environment.h"
#include "korvex/posix/files.h"
#include "korvex/posix/registry.h"
#include "korvex/posix/profile.h"
#include "korvex/posix/shell.h"
#include "korvex/posix/modules.h"
#include "korvex/posix/windows.h"
#include "korvex/posix/threads.h"
#include "korvex/posix/notify.h"
#include "korvex/posix/transactions.h"
#endif

#endif
