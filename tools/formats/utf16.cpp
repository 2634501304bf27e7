#include "tools/formats/utf16.h"

namespace korvex_tool {
namespace {

// The length of the UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are not well-formed UTF-8 (overlong forms and surrogates included).
size_t DecodeUtf8(const std::string& text, size_t i, char32_t* point) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *point = value;
  return length;
}

void AppendUtf8(char32_t point, std::string* text) {
  if (point < 0x80) {
    text->push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    text->push_back(static_cast<char>(0xC0 | (point >> 6)));
    text->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    text->push_back(static_cast<char>(0xE0 | (point >> 12)));
    text->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    text->push_back(static_cast<char>(0xF0 | (point >> 18)));
    text->push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

}  // namespace

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    char32_t point = 0;
    size_t length = DecodeUtf8(text, i, &point);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::u16string TextToUtf16(const std::string& text) {
  std::u16string wide;
  for (size_t i = 0; i < text.size();) {
    char32_t point = 0;
    size_t length = DecodeUtf8(text, i, &point);
    if (length == 0) {
      point = 0xDC00 | static_cast<unsigned char>(text[i]);
      length = 1;
    }
    i += length;
    if (point >= 0x10000) {
      point -= 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(point));
    }
  }
  return wide;
}

bool Utf16ToText(const std::u16string& wide, std::string* text) {
  text->clear();
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t unit = wide[i];
    if (unit >= 0xDC80 && unit <= 0xDCFF) {
      text->push_back(static_cast<char>(unit & 0xFF));
      continue;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    AppendUtf8(unit, text);
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
