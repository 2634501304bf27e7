#ifndef KORVEX_BUFFER_BASE64_ENGINE_H
#define KORVEX_BUFFER_BASE64_ENGINE_H

#include <stddef.h>

// The Base64 engine behind CBase64, with the vector kernel chosen by the
// caller: the library takes the fastest the processor runs, the tests and the
// fuzz target each in turn.
namespace korvex {
namespace base64 {

// Slowest first; each vector kernel runs only on a processor that has its
// instructions, and every processor that has one has those below it.
enum class Kernel { kScalar, kSsse3, kAvx2, kVbmi };
constexpr Kernel kKernels[] = {Kernel::kScalar, Kernel::kSsse3, Kernel::kAvx2, Kernel::kVbmi};

// The fastest kernel this processor runs, found once. A kernel above it given to
// the functions below runs as this one.
Kernel FastestKernel();

// Writes the (count + 2) / 3 * 4 characters of the padded text of the bytes.
void EncodeText(const unsigned char* in, unsigned int count, char* out, Kernel kernel);

// Decodes length characters by CBase64::Decode's rules into out, which has
// room for length / 4 * 3 bytes (or less: a text beyond the room gives 0).
// Returns CBase64::Decode's result; *written gets the bytes put into out.
int DecodeText(const unsigned char* text, size_t length, unsigned char* out, unsigned int room, unsigned int* written,
               Kernel kernel);

}  // namespace base64
}  // namespace korvex

#endif
