#include "url/url_escape.h"

#include <stdint.h>
#include <string.h>

#include "text/hex_digit.h"

namespace korvex {

namespace {

// Whether any byte of `word` equals the byte repeated in `pattern`.
bool HasByte(uint64_t word, uint64_t pattern) {
  uint64_t x = word ^ pattern;
  return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// Length of the run at `text` with neither "%" nor "+", eight bytes a step.
size_t PlainRun(const char* text, size_t length) {
  size_t i = 0;
  for (uint64_t word; i + 8 <= length; i += 8) {
    memcpy(&word, text + i, 8);
    if (HasByte(word, 0x2525252525252525ull) || HasByte(word, 0x2B2B2B2B2B2B2B2Bull)) break;
  }
  while (i < length && text[i] != '%' && text[i] != '+') ++i;
  return i;
}

bool IsEscaped(char c) { return c == '%' || c == '&' || c == '/' || c == ':' || c == '?' || c == '@'; }

}  // namespace

void UrlDecode(CString& text, const char* source, size_t length) {
  // Decoding never lengthens: size for the whole text, then cut to what came out.
  // ParseURL passes no text longer than a string holds.
  char* bytes = text.GetBufferSetLength(static_cast<int>(length));
  size_t out = 0;
  size_t i = 0;
  while (i < length) {
    size_t plain = PlainRun(source + i, length - i);
    memcpy(bytes + out, source + i, plain);
    out += plain;
    i += plain;
    if (i == length) break;
    int high, low;
    if (source[i] == '+') {
      bytes[out++] = ' ';
      ++i;
    } else if (i + 2 < length && (high = HexDigitValue(source[i + 1])) >= 0 &&
               (low = HexDigitValue(source[i + 2])) >= 0) {
      bytes[out++] = static_cast<char>(high * 16 + low);
      i += 3;
    } else {
      bytes[out++] = '%';
      ++i;
    }
  }
  if (out < length) text.ReleaseBuffer(static_cast<int>(out));
}

size_t UrlEncodedLength(const char* text, size_t length) {
  size_t grown = length;
  for (size_t i = 0; i < length; ++i)
    if (IsEscaped(text[i])) grown += 2;
  return grown;
}

char* UrlEncodeInto(char* out, const char* text, size_t length) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsEscaped(static_cast<char>(c))) {
      *out++ = '%';
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 0x0F];
    } else {
      *out++ = c == ' ' ? '+' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace korvex
