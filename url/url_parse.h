#ifndef KORVEX_URL_URL_PARSE_H
#define KORVEX_URL_URL_PARSE_H

// Internal to the library: only what KORVEX_TOOL_API marks is exported, for the tool.
#include "frame/tool_api.h"
#include "korvex/url.h"

namespace korvex {

// CUrlInfo::ParseURL that also hands out, when `portText` is not NULL, the
// port as the text wrote it: from the ":" before it to the end of the host
// part, undecoded; empty when the text names no port.
KORVEX_TOOL_API int ParseUrl(CUrlInfo& record, const char* url, CString* portText);

// Whether that port text is empty or ":" and 1 to 65535 in decimal digits
// alone: the record keeps only the low 16 bits of any other.
KORVEX_TOOL_API bool IsPlainPort(const CString& portText);

}  // namespace korvex

#endif
