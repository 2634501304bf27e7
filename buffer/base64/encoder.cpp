#include <stdint.h>

#include "buffer/base64/alphabet.h"
#include "buffer/base64/kernels.h"

namespace korvex {
namespace base64 {

namespace {

// Two output characters for every 12-bit value: two lookups per 3 input bytes.
struct PairTable {
  char pair[4096][2];
  constexpr PairTable() : pair() {
    for (int v = 0; v < 4096; ++v) {
      pair[v][0] = kAlphabet[v >> 6];
      pair[v][1] = kAlphabet[v & 63];
    }
  }
};
constexpr PairTable kPairs;

inline void PutPair(char* out, unsigned int v) {
  out[0] = kPairs.pair[v][0];
  out[1] = kPairs.pair[v][1];
}

}  // namespace

void EncodeText(const unsigned char* in, unsigned int count, char* out, Kernel kernel) {
  const EncodeBlocks blocks = LoopsOf(kernel).encode;
  if (blocks) blocks(in, count, out);
  // Two groups per step from one 8-byte big-endian load (of which 6 are used).
  for (; count >= 8; count -= 6, in += 6, out += 8) {
    const uint64_t v = static_cast<uint64_t>(in[0]) << 56 | static_cast<uint64_t>(in[1]) << 48 |
                       static_cast<uint64_t>(in[2]) << 40 | static_cast<uint64_t>(in[3]) << 32 |
                       static_cast<uint64_t>(in[4]) << 24 | static_cast<uint64_t>(in[5]) << 16 |
                       static_cast<uint64_t>(in[6]) << 8 | static_cast<uint64_t>(in[7]);
    PutPair(out, static_cast<unsigned int>(v >> 52));
    PutPair(out + 2, static_cast<unsigned int>(v >> 40) & 0xFFF);
    PutPair(out + 4, static_cast<unsigned int>(v >> 28) & 0xFFF);
    PutPair(out + 6, static_cast<unsigned int>(v >> 16) & 0xFFF);
  }
  for (; count >= 3; count -= 3, in += 3, out += 4) {
    const unsigned int v = static_cast<unsigned int>(in[0]) << 16 | static_cast<unsigned int>(in[1]) << 8 | in[2];
    PutPair(out, v >> 12);
    PutPair(out + 2, v & 0xFFF);
  }
  if (count == 0) return;
  const unsigned int b0 = in[0];
  const unsigned int b1 = count == 2 ? in[1] : 0;
  out[0] = kAlphabet[b0 >> 2];
  out[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
  out[2] = count == 2 ? kAlphabet[(b1 & 15) << 2] : kPad;
  out[3] = kPad;
}

}  // namespace base64
}  // namespace korvex
