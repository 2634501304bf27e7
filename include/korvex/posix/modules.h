#ifndef KORVEX_POSIX_MODULES_H
#define KORVEX_POSIX_MODULES_H

#include "korvex/posix/base.h"

extern "C" {

// NULL gives the handle of the executable's module; a name gives the handle of
// that module when it is already loaded, else NULL.
KORVEX_API HMODULE GetModuleHandleA(LPCSTR moduleName);

}

#endif
