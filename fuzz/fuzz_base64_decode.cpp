// Decodes arbitrary text and checks the result and the output against a plain
// byte-at-a-time decoder written here, and a successful decode against the
// encoder.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "korvex/buffer.h"

namespace {

int Value(unsigned char c) {
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const char* at = c ? strchr(alphabet, c) : NULL;
  return at ? static_cast<int>(at - alphabet) : -1;
}

bool Space(unsigned char c) { return c < 0x80 && isspace(c); }

int Reference(const unsigned char* s, std::string& out) {
  int state = 0;
  unsigned int bits = 0;
  for (;; ++s) {
    if (*s == 0) return state == 0 ? 1 : 0;
    if (Space(*s)) continue;
    if (*s == '=') break;
    const int v = Value(*s);
    if (v < 0) return 0;
    bits = (bits << 6) | static_cast<unsigned int>(v);
    if (++state == 4) {
      out += static_cast<char>(bits >> 16);
      out += static_cast<char>(bits >> 8);
      out += static_cast<char>(bits);
      state = 0;
      bits = 0;
    }
  }
  ++s;
  if (state < 2) return 0;
  if (state == 2) {
    while (Space(*s)) ++s;
    if (*s++ != '=') return 0;
  }
  while (Space(*s)) ++s;
  if (*s) return 0;
  const unsigned int unused = state == 2 ? 4 : 2;
  if (bits & ((1u << unused) - 1)) return -1;
  bits >>= unused;
  if (state == 3) out += static_cast<char>(bits >> 8);
  out += static_cast<char>(bits);
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly sized, so a read past the terminator is caught.
  char* text = static_cast<char*>(malloc(size + 1));
  memcpy(text, data, size);
  text[size] = 0;

  CBuffer out(reinterpret_cast<const unsigned char*>("stale"), 5);
  const int result = CBase64::Decode(text, out);
  std::string expected;
  const int expectedResult = Reference(reinterpret_cast<const unsigned char*>(text), expected);
  const std::string got(out.Len() ? reinterpret_cast<const char*>(out.Ptr()) : "", out.Len());
  if (result != expectedResult || got != expected) abort();

  if (result == 1) {
    std::string canonical;
    for (const char* p = text; *p; ++p)
      if (!Space(static_cast<unsigned char>(*p))) canonical += *p;
    CString again;
    CBase64::Encode(out, again);
    if (canonical != static_cast<const char*>(again)) abort();
  }
  free(text);
  return 0;
}
