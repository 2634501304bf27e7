#ifndef KORVEX_BUFFER_BASE64_KERNELS_H
#define KORVEX_BUFFER_BASE64_KERNELS_H

#include "buffer/base64/engine.h"

// The vector loops of each kernel. They work on whole blocks only and leave the
// rest, from the first character outside the alphabet on, to the scalar code.
// They copy the pointers into locals, which their stores cannot alias.
namespace korvex {
namespace base64 {

// Encodes blocks of 3 bytes to 4 characters while count allows the loop's
// loads; advances in, count and out past what it did.
using EncodeBlocks = void (*)(const unsigned char*& in, unsigned int& count, char*& out);

// Decodes blocks of 4 alphabet characters to 3 bytes while end and outEnd
// allow the loop's loads and stores. At a block that holds anything else it
// decodes the whole groups before that character and stops; advances in and out.
using DecodeBlocks = void (*)(const unsigned char*& in, const unsigned char* end, unsigned char*& out,
                              const unsigned char* outEnd);

struct KernelLoops {
  EncodeBlocks encode;  // null on the scalar kernel
  DecodeBlocks decode;
};

// The loops of the kernel, or of the fastest kernel the processor runs when that is lower.
KernelLoops LoopsOf(Kernel kernel);

#if defined(__x86_64__) || defined(__i386__)
void EncodeSsse3(const unsigned char*& in, unsigned int& count, char*& out);
void DecodeSsse3(const unsigned char*& in, const unsigned char* end, unsigned char*& out, const unsigned char* outEnd);
void EncodeAvx2(const unsigned char*& in, unsigned int& count, char*& out);
void DecodeAvx2(const unsigned char*& in, const unsigned char* end, unsigned char*& out, const unsigned char* outEnd);
void EncodeVbmi(const unsigned char*& in, unsigned int& count, char*& out);
void DecodeVbmi(const unsigned char*& in, const unsigned char* end, unsigned char*& out, const unsigned char* outEnd);
#endif

}  // namespace base64
}  // namespace korvex

#endif
