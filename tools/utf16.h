#ifndef KORVEX_TOOLS_UTF16_H
#define KORVEX_TOOLS_UTF16_H

#include <string>

namespace korvex_tool {

// Registry text on Linux is UTF-8; .reg files carry UTF-16LE. Bytes that are
// not UTF-8 are taken as Latin-1, so any stored text can be exported.
std::u16string TextToUtf16(const std::string& text);
// False on a lone surrogate, which has no UTF-8 form.
bool Utf16ToText(const std::u16string& wide, std::string* text);

// True when the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& text);

// UTF-16LE bytes and back; an odd count of bytes is refused.
std::string Utf16ToBytes(const std::u16string& wide);
bool BytesToUtf16(const std::string& bytes, std::u16string* wide);

}  // namespace korvex_tool

#endif
