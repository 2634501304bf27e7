#ifndef KORVEX_BUFFER_BASE64_WIDE_H
#define KORVEX_BUFFER_BASE64_WIDE_H

// Base64 sixteen characters at a time with vector instructions, where the
// processor has them; elsewhere these do nothing and leave all to the scalar code.
namespace korvex {
namespace base64 {

// Encodes 12 bytes to 16 characters while at least 16 input bytes remain
// (the loads are 16 bytes wide). Advances in, count and out.
void EncodeWide(const unsigned char*& in, unsigned int& count, char*& out);

// Decodes 16 alphabet characters to 12 bytes while 16 characters remain
// before end and 16 bytes of room before outEnd (the stores are 16 bytes
// wide). Stops before the first block holding anything but the alphabet.
void DecodeWide(const unsigned char*& in, const unsigned char* end, unsigned char*& out, const unsigned char* outEnd);

}  // namespace base64
}  // namespace korvex

#endif
