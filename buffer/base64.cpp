#include "korvex/buffer.h"

// The class holds no data: construction and assignment do nothing.
CBase64::CBase64() {}

CBase64& CBase64::operator=(const CBase64&) { return *this; }
