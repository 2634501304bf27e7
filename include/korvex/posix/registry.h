#ifndef KORVEX_POSIX_REGISTRY_H
#define KORVEX_POSIX_REGISTRY_H

#include "korvex/posix/base.h"

#endif
