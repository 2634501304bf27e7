#include "korvex/platform.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError(void) { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }
