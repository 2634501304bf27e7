#include <stdint.h>
#include <string.h>

#include "buffer/base64/alphabet.h"
#include "buffer/base64/kernels.h"
#include "platform/mbstring.h"

namespace korvex {
namespace base64 {

namespace {

// Each character's 6-bit value already shifted to its place in a group's 24
// bits, one table per position; anything outside the alphabet sets the top
// byte, so one OR over a group tells whether all four characters are plain.
const uint32_t kNotAlphabet = 0xFF000000u;

struct GroupTables {
  uint32_t at[4][256];
  constexpr GroupTables() : at() {
    for (int position = 0; position < 4; ++position) {
      for (int c = 0; c < 256; ++c) at[position][c] = kNotAlphabet;
      for (int v = 0; v < 64; ++v)
        at[position][static_cast<unsigned char>(kAlphabet[v])] = static_cast<uint32_t>(v) << (18 - 6 * position);
    }
  }
};
constexpr GroupTables kGroup;

inline uint32_t Group(const unsigned char* in) {
  return kGroup.at[0][in[0]] | kGroup.at[1][in[1]] | kGroup.at[2][in[2]] | kGroup.at[3][in[3]];
}

inline void Put3(unsigned char* out, uint32_t bits) {
  out[0] = static_cast<unsigned char>(bits >> 16);
  out[1] = static_cast<unsigned char>(bits >> 8);
  out[2] = static_cast<unsigned char>(bits);
}

class Decoder {
public:
  Decoder(const unsigned char* text, size_t length, unsigned char* out, unsigned int room, DecodeBlocks blocks)
      : m_in(text), m_end(text + length), m_out(out), m_outEnd(out + room), m_blocks(blocks) {}

  int Run();
  unsigned int Written(const unsigned char* out) const { return static_cast<unsigned int>(m_out - out); }

private:
  void PlainGroups();
  int Padding();
  void SkipSpace();
  bool Put(const unsigned char* bytes, size_t count);

  static bool IsSpace(unsigned char c) { return c < 0x80 && _ismbcspace(c); }

  const unsigned char* m_in;
  const unsigned char* const m_end;
  unsigned char* m_out;
  unsigned char* const m_outEnd;
  const DecodeBlocks m_blocks;  // null on the scalar kernel
  int m_state = 0;              // characters of the current group seen so far
  unsigned char m_partial[3] = {0, 0, 0};
};

int Decoder::Run() {
  for (;;) {
    if (m_state == 0) PlainGroups();
    if (m_in == m_end) return m_state == 0 ? 1 : 0;
    const unsigned char c = *m_in++;
    const uint32_t v = kGroup.at[3][c];
    if (v == kNotAlphabet) {
      if (c == kPad) return Padding();
      if (!IsSpace(c)) return 0;
      continue;
    }
    switch (m_state) {
      case 0:
        m_partial[0] = static_cast<unsigned char>(v << 2);
        break;
      case 1:
        m_partial[0] = static_cast<unsigned char>(m_partial[0] | (v >> 4));
        m_partial[1] = static_cast<unsigned char>((v & 15) << 4);
        break;
      case 2:
        m_partial[1] = static_cast<unsigned char>(m_partial[1] | (v >> 2));
        m_partial[2] = static_cast<unsigned char>((v & 3) << 6);
        break;
      default:
        m_partial[2] = static_cast<unsigned char>(m_partial[2] | v);
        if (!Put(m_partial, 3)) return 0;
        break;
    }
    m_state = (m_state + 1) & 3;
  }
}

// The common case, whole groups of four alphabet characters, a group at a time,
// and line breaks between groups. Stops before the first group that holds
// anything else.
void Decoder::PlainGroups() {
  const unsigned char* in = m_in;
  unsigned char* out = m_out;
  for (;;) {
    if (m_blocks) m_blocks(in, m_end, out, m_outEnd);
    while (m_end - in >= 8 && m_outEnd - out >= 6) {
      const uint32_t first = Group(in);
      const uint32_t second = Group(in + 4);
      if ((first | second) & kNotAlphabet) break;
      Put3(out, first);
      Put3(out + 3, second);
      in += 8;
      out += 6;
    }
    if (m_end - in < 4 || m_outEnd - out < 3) break;
    const uint32_t bits = Group(in);
    if (bits & kNotAlphabet) {
      if (in[0] != '\n' && in[0] != '\r') break;  // white space by any classification
      while (in != m_end && (*in == '\n' || *in == '\r')) ++in;
      continue;
    }
    Put3(out, bits);
    in += 4;
    out += 3;
  }
  m_in = in;
  m_out = out;
}

// Entered just after an "=".
int Decoder::Padding() {
  if (m_state < 2) return 0;
  if (m_state == 2) {
    SkipSpace();
    if (m_in == m_end || *m_in != kPad) return 0;
    ++m_in;
  }
  SkipSpace();
  if (m_in != m_end) return 0;
  if (m_partial[m_state - 1] != 0) return -1;  // unused low bits of the last group
  return Put(m_partial, static_cast<size_t>(m_state - 1)) ? 1 : 0;
}

void Decoder::SkipSpace() {
  while (m_in != m_end && IsSpace(*m_in)) ++m_in;
}

bool Decoder::Put(const unsigned char* bytes, size_t count) {
  // Only a text beyond what any buffer can hold runs out of room.
  if (static_cast<size_t>(m_outEnd - m_out) < count) return false;
  memcpy(m_out, bytes, count);
  m_out += count;
  return true;
}

}  // namespace

int DecodeText(const unsigned char* text, size_t length, unsigned char* out, unsigned int room, unsigned int* written,
               Kernel kernel) {
  Decoder decoder(text, length, out, room, LoopsOf(kernel).decode);
  const int result = decoder.Run();
  *written = decoder.Written(out);
  return result;
}

}  // namespace base64
}  // namespace korvex
