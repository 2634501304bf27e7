#include <limits.h>
#include <stdint.h>

#include "buffer/base64/engine.h"
#include "korvex/buffer.h"

namespace {

// The longest input whose text still fits in a string.
const unsigned int kMaxInput = INT_MAX / 4 * 3;

bool LiesIn(const CString& text, const unsigned char* data, unsigned int count) {
  const uintptr_t t = reinterpret_cast<uintptr_t>(static_cast<const char*>(text));
  const uintptr_t d = reinterpret_cast<uintptr_t>(data);
  return d < t + static_cast<unsigned int>(text.GetLength()) + 1 && t < d + count;
}

}  // namespace

void CBase64::Encode(const unsigned char* data, unsigned int count, CString& output) {
  if (count == 0 || count > kMaxInput) {
    output.Empty();
    return;
  }
  if (LiesIn(output, data, count)) {
    // Sizing the output would move or overwrite the bytes.
    const CBuffer copy(data, count);
    Encode(copy, output);
    return;
  }
  const int length = static_cast<int>((count + 2) / 3 * 4);
  korvex::base64::EncodeText(data, count, output.GetBufferSetLength(length), korvex::base64::FastestKernel());
  output.ReleaseBuffer(length);
}

void CBase64::Encode(const CBuffer& input, CString& output) { Encode(input.Ptr(), input.Len(), output); }
