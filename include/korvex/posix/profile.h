#ifndef KORVEX_POSIX_PROFILE_H
#define KORVEX_POSIX_PROFILE_H

#include "korvex/posix/base.h"

#endif
