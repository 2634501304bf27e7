#ifndef KORVEX_TOOLS_REG_REG_VALUE_TEXT_H
#define KORVEX_TOOLS_REG_REG_VALUE_TEXT_H

// Registry values as the reg commands show and take them on the command line.
#include <string>
#include <vector>

#include "korvex/platform.h"

namespace korvex_tool {

// Two hexadecimal digits a byte, upper case.
std::string Hex(const std::string& bytes);
// The bytes of REG_DWORD (4) and REG_QWORD (8) data; 0 for other types.
size_t NumberSize(DWORD type);
// Little-endian data as a number.
unsigned long long NumberOf(const std::string& data);
// The texts of text data, each up to its terminator: one, or REG_MULTI_SZ's list.
std::vector<std::string> TextsOf(DWORD type, const std::string& data);

// "REG_SZ", ...; an unnamed type as "0x" and its number.
std::string TypeName(DWORD type);

// The stored bytes of a value given as text: REG_SZ and REG_EXPAND_SZ the
// text; REG_MULTI_SZ the texts between separators; REG_DWORD a decimal or
// "0x" hexadecimal number below 2^32 (2^64 for REG_QWORD); REG_BINARY and
// REG_NONE hexadecimal digits, two a byte. A REG_MULTI_SZ text cannot be
// empty (an empty one would end the list).
// Throws ToolError on text that does not fit the type.
std::string DataFromText(DWORD type, const std::string& text, const std::string& separator);
// The same for a file's contents, except that REG_BINARY and REG_NONE take
// the bytes as they are.
std::string DataFromFile(DWORD type, const std::string& bytes, const std::string& separator);

// The data for reading: texts up to their terminator, REG_MULTI_SZ texts
// joined with "\0", REG_DWORD and REG_QWORD as 0x..., everything else as
// hexadecimal bytes.
std::string DataToText(DWORD type, const std::string& data);

}  // namespace korvex_tool

#endif
