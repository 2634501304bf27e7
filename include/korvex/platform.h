#ifndef KORVEX_PLATFORM_H
#define KORVEX_PLATFORM_H

/// @file
/// The Win32 names the library is written against: the real SDK on Windows,
/// our own subset (the Linux layer) everywhere else.

/// @defgroup layer The Linux layer
/// The Win32 subset that stands in for Windows on Linux: declared here,
/// exported from libkorvex.so, with Win32's semantics and error codes. A
/// product calls these names exactly as it does on Windows; each area's page
/// says where Linux differs, and @ref windiff lists every difference in one
/// place. On Windows the same names come from the SDK.
///
/// Declarations that mirror Win32 unchanged carry one line, per declaration
/// or per group of constants and fields; Win32's own documentation holds for
/// the rest.
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
