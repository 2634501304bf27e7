#include <stdint.h>
#include <string.h>

#include "buffer/base64/engine.h"
#include "korvex/buffer.h"

namespace {

// Room for the output is taken once: every 4 characters give at most 3 bytes.
const unsigned int kMaxOutput = 0xFFFFFFFFu - 1024;

}  // namespace

int CBase64::Decode(const char* text, CBuffer& output) {
  const uintptr_t t = reinterpret_cast<uintptr_t>(text);
  const uintptr_t content = reinterpret_cast<uintptr_t>(output.Ptr());
  if (content != 0 && t >= content && t < content + output.Len()) {
    // The output is released before the text is read.
    const CString copy(text);
    return Decode(copy, output);
  }
  output.Clear(1);
  const size_t length = strlen(text);
  const size_t bound = length / 4 * 3;
  const unsigned int room = bound < kMaxOutput ? static_cast<unsigned int>(bound) : kMaxOutput;
  unsigned char* out = output.AppendSpace(room);
  unsigned int written = 0;
  const int result = korvex::base64::DecodeText(reinterpret_cast<const unsigned char*>(text), length, out, room,
                                                &written, korvex::base64::FastestKernel());
  output.ConsumeEnd(room - written);
  return result;
}
