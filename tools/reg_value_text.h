#ifndef KORVEX_TOOLS_REG_VALUE_TEXT_H
#define KORVEX_TOOLS_REG_VALUE_TEXT_H

// Registry values as the reg commands show and take them on the command line.
#include <string>

#include "korvex/platform.h"

namespace korvex_tool {

// "REG_SZ", ...; an unnamed type as "0x" and its number.
std::string TypeName(DWORD type);

// The stored bytes of a value given as text: REG_SZ and REG_EXPAND_SZ the
// text; REG_MULTI_SZ the texts between separators; REG_DWORD a decimal or
// "0x" hexadecimal number below 2^32; REG_BINARY hexadecimal digits, two a byte.
// Throws ToolError on text that does not fit the type.
std::string DataFromText(DWORD type, const std::string& text, const std::string& separator);

// The data for reading: texts up to their terminator, REG_MULTI_SZ texts
// joined with "\0", REG_DWORD as 0x..., everything else as hexadecimal bytes.
std::string DataToText(DWORD type, const std::string& data);

}  // namespace korvex_tool

#endif
