#ifndef KORVEX_TOOLS_FORMATS_UTF16_H
#define KORVEX_TOOLS_FORMATS_UTF16_H

#include <string>

namespace korvex_tool {

// Registry text on Linux is UTF-8; .reg files carry UTF-16LE. A byte that is
// not UTF-8 becomes the lone surrogate U+DC00 plus the byte, which no text
// holds, so any stored bytes are exported and read back as they were.
std::u16string TextToUtf16(const std::string& text);
// The way back, those surrogates as their bytes again; false on any other
// lone surrogate, which has no UTF-8 form.
bool Utf16ToText(const std::u16string& wide, std::string* text);

// True when the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& text);

// UTF-16LE bytes and back; an odd count of bytes is refused.
std::string Utf16ToBytes(const std::u16string& wide);
bool BytesToUtf16(const std::string& bytes, std::u16string* wide);

}  // namespace korvex_tool

#endif
