#ifndef KORVEX_POSIX_ENVIRONMENT_H
#define KORVEX_POSIX_ENVIRONMENT_H

/// @file
/// The process environment.
#include "korvex/posix/base.h"

/// @defgroup layer_environment Environment
/// @ingroup layer
/// The process environment, as Win32 names it.
/// @{

extern "C" {

/// Replaces each %NAME% with the variable's value; a name that is not set stays
/// as written. Names are case-sensitive, as POSIX has them. Returns the size of
/// the result with its terminator; it is written only when lpDst holds that
/// many bytes. 0 for a NULL source.
/// @windiff Variable names are case-sensitive.
KORVEX_API DWORD ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize);
}

/// @}

#endif
