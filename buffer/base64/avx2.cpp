#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "buffer/base64/kernels.h"

// The SSSE3 loops twice as wide: the same steps in each 128-bit half.
namespace korvex {
namespace base64 {

__attribute__((target("avx2"))) void EncodeAvx2(const unsigned char*& inRef, unsigned int& countRef, char*& outRef) {
  const unsigned char* in = inRef;
  unsigned int count = countRef;
  char* out = outRef;
  const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,  //
                                          1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m256i offsets =
      _mm256_broadcastsi128_si256(_mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                                '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0));
  // Each half loads 16 bytes and uses 12: the second half's load ends 28 bytes in.
  while (count >= 28) {
    const __m256i loaded =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)), 1);
    const __m256i bytes = _mm256_shuffle_epi8(loaded, spread);
    const __m256i high =
        _mm256_mulhi_epu16(_mm256_and_si256(bytes, _mm256_set1_epi32(0x0FC0FC00)), _mm256_set1_epi32(0x04000040));
    const __m256i low =
        _mm256_mullo_epi16(_mm256_and_si256(bytes, _mm256_set1_epi32(0x003F03F0)), _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(high, low);
    __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    range =
        _mm256_or_si256(range, _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(26), values), _mm256_set1_epi8(13)));
    const __m256i text = _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, range));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), text);
    in += 24;
    count -= 24;
    out += 32;
  }
  inRef = in;
  countRef = count;
  outRef = out;
}

__attribute__((target("avx2"))) void DecodeAvx2(const unsigned char*& inRef, const unsigned char* end,
                                                unsigned char*& outRef, const unsigned char* outEnd) {
  const unsigned char* in = inRef;
  unsigned char* out = outRef;
  const __m256i lowClass = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A));
  const __m256i highClass = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10));
  const __m256i offsets =
      _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0));
  const __m256i slash = _mm256_set1_epi8(0x2F);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i pack =
      _mm256_broadcastsi128_si256(_mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
  // The 12 bytes of each half next to each other.
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  while (end - in >= 32 && outEnd - out >= 32) {
    const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), nibble);
    const __m256i low = _mm256_and_si256(text, nibble);
    const __m256i clash = _mm256_and_si256(_mm256_shuffle_epi8(lowClass, low), _mm256_shuffle_epi8(highClass, high));
    const unsigned int outside =
        static_cast<unsigned int>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(clash, _mm256_setzero_si256())));
    const __m256i offset = _mm256_shuffle_epi8(offsets, _mm256_add_epi8(_mm256_cmpeq_epi8(text, slash), high));
    const __m256i values = _mm256_add_epi8(text, offset);
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i lanes = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(lanes, pack), join);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
    if (outside) {
      const int groups = __builtin_ctz(outside) / 4;
      in += 4 * groups;
      out += 3 * groups;
      break;
    }
    in += 32;
    out += 24;
  }
  inRef = in;
  outRef = out;
}

}  // namespace base64
}  // namespace korvex

#endif
