#include "tools/formats/utf16.h"

#include <unistr.h>

namespace korvex_tool {
namespace {

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// The first of the lone surrogates that carry a byte UTF-8 does not allow.
const char16_t kEscapedByte = 0xDC00;

}  // namespace

bool IsUtf8(const std::string& text) { return u8_check(Bytes(text), text.size()) == nullptr; }

std::u16string TextToUtf16(const std::string& text) {
  std::u16string wide;
  for (size_t i = 0; i < text.size();) {
    ucs4_t point = 0;
    int length = u8_mbtoucr(&point, Bytes(text) + i, text.size() - i);
    if (length < 0) {
      wide.push_back(static_cast<char16_t>(kEscapedByte | static_cast<unsigned char>(text[i])));
      ++i;
      continue;
    }
    uint16_t units[2];
    wide.append(units, units + u16_uctomb(units, point, 2));
    i += static_cast<size_t>(length);
  }
  return wide;
}

bool Utf16ToText(const std::u16string& wide, std::string* text) {
  text->clear();
  const uint16_t* units = reinterpret_cast<const uint16_t*>(wide.data());
  for (size_t i = 0; i < wide.size();) {
    if (wide[i] >= kEscapedByte + 0x80 && wide[i] <= kEscapedByte + 0xFF) {
      text->push_back(static_cast<char>(wide[i++] & 0xFF));
      continue;
    }
    ucs4_t point = 0;
    int length = u16_mbtoucr(&point, units + i, wide.size() - i);
    if (length < 0) return false;  // any other lone surrogate has no UTF-8 form
    uint8_t bytes[4];
    text->append(bytes, bytes + u8_uctomb(bytes, point, 4));
    i += static_cast<size_t>(length);
  }
  return true;
}

std::string Utf16ToBytes(const std::u16string& wide) {
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

bool BytesToUtf16(const std::string& bytes, std::u16string* wide) {
  if (bytes.size() % 2) return false;
  wide->clear();
  for (size_t i = 0; i < bytes.size(); i += 2)
    wide->push_back(
        static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return true;
}

}  // namespace korvex_tool
