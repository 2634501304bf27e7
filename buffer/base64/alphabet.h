#ifndef KORVEX_BUFFER_BASE64_ALPHABET_H
#define KORVEX_BUFFER_BASE64_ALPHABET_H

// The standard Base64 alphabet, indexed by the 6-bit value; the encoder's and
// the decoder's tables are both derived from it.
namespace korvex {
namespace base64 {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

}  // namespace base64
}  // namespace korvex

#endif
