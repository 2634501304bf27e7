#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 takes the intrinsics' own undefined pass-through operand for an
// uninitialized variable of ours.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "buffer/base64/alphabet.h"
#include "buffer/base64/kernels.h"

// 48 bytes to 64 characters and back in one register, with byte permutes
// across the whole register (VBMI) doing the shuffles and the lookups.
namespace korvex {
namespace base64 {

namespace {

struct Tables {
  // Bytes 3i+1, 3i, 3i+2, 3i+1 into 32-bit lane i: the group's first 12 bits
  // in the low half, its last 12 in the high half.
  unsigned char spread[64];
  // Bytes 2, 1, 0 of each 32-bit lane, lane after lane.
  unsigned char pack[64];
  // Each character below 0x80 to its value, or 0x80 outside the alphabet.
  unsigned char values[128];
  constexpr Tables() : spread(), pack(), values() {
    for (int i = 0; i < 16; ++i) {
      spread[4 * i] = static_cast<unsigned char>(3 * i + 1);
      spread[4 * i + 1] = static_cast<unsigned char>(3 * i);
      spread[4 * i + 2] = static_cast<unsigned char>(3 * i + 2);
      spread[4 * i + 3] = static_cast<unsigned char>(3 * i + 1);
      pack[3 * i] = static_cast<unsigned char>(4 * i + 2);
      pack[3 * i + 1] = static_cast<unsigned char>(4 * i + 1);
      pack[3 * i + 2] = static_cast<unsigned char>(4 * i);
    }
    for (int c = 0; c < 128; ++c) values[c] = 0x80;
    for (int v = 0; v < 64; ++v) values[static_cast<unsigned char>(kAlphabet[v])] = static_cast<unsigned char>(v);
  }
};
constexpr Tables kTables;

// Where each character's 6 bits start in a 64-bit pair of spread lanes:
// 10, 4, 22, 16 in the first lane, 32 more in the second.
const long long kFieldShifts = 0x3036242A1016040ALL;

}  // namespace

#define KORVEX_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

KORVEX_VBMI void EncodeVbmi(const unsigned char*& inRef, unsigned int& countRef, char*& outRef) {
  const unsigned char* in = inRef;
  unsigned int count = countRef;
  char* out = outRef;
  const __m512i spread = _mm512_loadu_si512(kTables.spread);
  const __m512i shifts = _mm512_set1_epi64(kFieldShifts);
  const __m512i alphabet = _mm512_loadu_si512(kAlphabet);
  // The loads are 64 bytes wide, of which 48 are used.
  while (count >= 64) {
    const __m512i bytes = _mm512_permutexvar_epi8(spread, _mm512_loadu_si512(in));
    // The permute looks up only the low 6 bits of each field.
    const __m512i fields = _mm512_multishift_epi64_epi8(shifts, bytes);
    _mm512_storeu_si512(out, _mm512_permutexvar_epi8(fields, alphabet));
    in += 48;
    count -= 48;
    out += 64;
  }
  inRef = in;
  countRef = count;
  outRef = out;
}

KORVEX_VBMI void DecodeVbmi(const unsigned char*& inRef, const unsigned char* end, unsigned char*& outRef,
                            const unsigned char* outEnd) {
  const unsigned char* in = inRef;
  unsigned char* out = outRef;
  const __m512i low = _mm512_loadu_si512(kTables.values);
  const __m512i high = _mm512_loadu_si512(kTables.values + 64);
  const __m512i pack = _mm512_loadu_si512(kTables.pack);
  while (end - in >= 64 && outEnd - out >= 64) {
    const __m512i text = _mm512_loadu_si512(in);
    const __m512i values = _mm512_permutex2var_epi8(low, text, high);
    // The top bit marks a character above 0x7F or one outside the alphabet.
    const __mmask64 outside = _mm512_movepi8_mask(_mm512_or_si512(values, text));
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    const __m512i lanes = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    _mm512_storeu_si512(out, _mm512_permutexvar_epi8(pack, lanes));
    if (outside) {
      const int groups = __builtin_ctzll(outside) / 4;
      in += 4 * groups;
      out += 3 * groups;
      break;
    }
    in += 64;
    out += 48;
  }
  inRef = in;
  outRef = out;
}

}  // namespace base64
}  // namespace korvex

#endif
