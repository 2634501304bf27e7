#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "buffer/base64/kernels.h"

namespace korvex {
namespace base64 {

// Spreads each 3 bytes over four bytes of 6 bits each, then maps the 6-bit
// values to the alphabet by adding the offset of their range.
__attribute__((target("ssse3"))) void EncodeSsse3(const unsigned char*& inRef, unsigned int& countRef, char*& outRef) {
  const unsigned char* in = inRef;
  unsigned int count = countRef;
  char* out = outRef;
  const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                        '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  while (count >= 16) {
    const __m128i bytes = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), spread);
    const __m128i high = _mm_mulhi_epu16(_mm_and_si128(bytes, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
    const __m128i low = _mm_mullo_epi16(_mm_and_si128(bytes, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
    const __m128i values = _mm_or_si128(high, low);
    // 0..25 -> 13, 26..51 -> 0, 52..61 -> 1..10, 62 -> 11, 63 -> 12
    __m128i range = _mm_subs_epu8(values, _mm_set1_epi8(51));
    range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), values), _mm_set1_epi8(13)));
    const __m128i text = _mm_add_epi8(values, _mm_shuffle_epi8(offsets, range));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), text);
    in += 12;
    count -= 12;
    out += 16;
  }
  inRef = in;
  countRef = count;
  outRef = out;
}

// Classifies each character by its two nibbles: a character is in the
// alphabet exactly when the two table entries share no bit. The value is the
// character plus an offset chosen by the high nibble ('/' has its own).
__attribute__((target("ssse3"))) void DecodeSsse3(const unsigned char*& inRef, const unsigned char* end,
                                                  unsigned char*& outRef, const unsigned char* outEnd) {
  const unsigned char* in = inRef;
  unsigned char* out = outRef;
  const __m128i lowClass =
      _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highClass =
      _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m128i offsets = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i slash = _mm_set1_epi8(0x2F);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i pack = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  while (end - in >= 16 && outEnd - out >= 16) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), nibble);
    const __m128i low = _mm_and_si128(text, nibble);
    const __m128i clash = _mm_and_si128(_mm_shuffle_epi8(lowClass, low), _mm_shuffle_epi8(highClass, high));
    const int outside = _mm_movemask_epi8(_mm_cmpgt_epi8(clash, _mm_setzero_si128()));
    const __m128i offset = _mm_shuffle_epi8(offsets, _mm_add_epi8(_mm_cmpeq_epi8(text, slash), high));
    const __m128i values = _mm_add_epi8(text, offset);
    // Four 6-bit values to 24 bits per 32-bit lane, then the three bytes of
    // every lane in order.
    const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    const __m128i lanes = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(lanes, pack));
    if (outside) {
      const int groups = __builtin_ctz(static_cast<unsigned int>(outside)) / 4;
      in += 4 * groups;
      out += 3 * groups;
      break;
    }
    in += 16;
    out += 12;
  }
  inRef = in;
  outRef = out;
}

}  // namespace base64
}  // namespace korvex

#endif
