// Feeds the same input to every kernel of the Base64 engine that this processor
// runs and requires each to give the scalar kernel's result and output: the
// input's bytes are encoded, the input is decoded as text, and so is the
// input's own encoding with a few of its bytes put in, which keeps the long
// runs of the alphabet that the vector loops take.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "buffer/base64/engine.h"

namespace {

using korvex::base64::Kernel;

std::string Encoded(const uint8_t* data, size_t size, Kernel kernel) {
  std::string text((size + 2) / 3 * 4, '\0');
  korvex::base64::EncodeText(data, static_cast<unsigned int>(size), &text[0], kernel);
  return text;
}

struct Decoded {
  int result;
  std::vector<unsigned char> bytes;
  bool operator!=(const Decoded& other) const { return result != other.result || bytes != other.bytes; }
};

// Text and output exactly sized, so a read or write past either is caught.
Decoded DecodedText(const std::string& text, Kernel kernel) {
  std::vector<unsigned char> exact(text.begin(), text.end());
  Decoded d{0, std::vector<unsigned char>(text.size() / 4 * 3)};
  unsigned int written = 0;
  d.result = korvex::base64::DecodeText(exact.data(), exact.size(), d.bytes.data(),
                                        static_cast<unsigned int>(d.bytes.size()), &written, kernel);
  d.bytes.resize(written);
  return d;
}

void RequireSameDecode(const std::string& text) {
  const std::string plain = text.substr(0, text.find('\0'));  // the text ends at a zero byte
  const Decoded scalar = DecodedText(plain, Kernel::kScalar);
  for (Kernel kernel : korvex::base64::kKernels)
    if (kernel <= korvex::base64::FastestKernel() && DecodedText(plain, kernel) != scalar) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string scalar = Encoded(data, size, Kernel::kScalar);
  for (Kernel kernel : korvex::base64::kKernels)
    if (kernel <= korvex::base64::FastestKernel() && Encoded(data, size, kernel) != scalar) abort();

  RequireSameDecode(std::string(reinterpret_cast<const char*>(data), size));

  // The first byte counts the edits (up to 7) at the end of the input, three
  // bytes each: where, as a fraction of the text, and the byte inserted there.
  std::string text = scalar;
  const size_t edits = size ? data[0] % 8 : 0;
  if (size < 1 + 3 * edits) return 0;
  for (const uint8_t* edit = data + size - 3 * edits; edit < data + size; edit += 3) {
    const size_t at = (static_cast<size_t>(edit[0]) << 8 | edit[1]) * (text.size() + 1) >> 16;
    text.insert(at, 1, static_cast<char>(edit[2]));
  }
  RequireSameDecode(text);
  return 0;
}
