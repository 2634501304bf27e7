#ifndef KORVEX_POSIX_FILES_H
#define KORVEX_POSIX_FILES_H

#include "korvex/posix/base.h"

#endif
