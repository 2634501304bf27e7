#include <gtest/gtest.h>
#include <ctype.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "buffer/base64/kernels.h"
#include "korvex/buffer.h"

namespace {

using korvex::base64::Kernel;

// Every kernel of the engine that this processor runs, the scalar one included.
std::vector<Kernel> Kernels() {
  std::vector<Kernel> kernels;
  for (Kernel kernel : korvex::base64::kKernels)
    if (kernel <= korvex::base64::FastestKernel()) kernels.push_back(kernel);
  return kernels;
}

std::string Content(const CBuffer& b) {
  return b.Len() ? std::string(reinterpret_cast<const char*>(b.Ptr()), b.Len()) : "";
}

// Bit by bit, independent of the library's tables.
std::string Reference(const std::string& bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  unsigned int bits = 0, count = 0;
  for (unsigned char c : bytes) {
    bits = (bits << 8) | c;
    for (count += 8; count >= 6; count -= 6) text += alphabet[(bits >> (count - 6)) & 63];
  }
  if (count) text += alphabet[(bits << (6 - count)) & 63];
  while (text.size() % 4) text += '=';
  return text;
}

std::string RandomBytes(std::mt19937& rng, size_t length) {
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// The text sits at the very end of its own heap block, so reading past the
// terminator is an overflow the sanitizers report. Each kernel of the engine
// must give the library's result and bytes. Gives "result:bytes".
std::string Decode(const std::string& text) {
  const std::vector<char> exact(text.c_str(), text.c_str() + text.size() + 1);
  CBuffer out(reinterpret_cast<const unsigned char*>("old content"), 11);
  const int result = CBase64::Decode(exact.data(), out);
  for (Kernel kernel : Kernels()) {
    std::vector<unsigned char> bytes(text.size() / 4 * 3);
    unsigned int written = 0;
    EXPECT_EQ(korvex::base64::DecodeText(reinterpret_cast<const unsigned char*>(exact.data()), text.size(),
                                         bytes.data(), static_cast<unsigned int>(bytes.size()), &written, kernel),
              result)
        << static_cast<int>(kernel) << " " << text;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + written), Content(out))
        << static_cast<int>(kernel) << " " << text;
  }
  return std::to_string(result) + ":" + Content(out);
}

CString Encode(const std::string& bytes) {
  CString text("previous text");
  CBase64::Encode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned int>(bytes.size()), text);
  for (Kernel kernel : Kernels()) {
    std::string own((bytes.size() + 2) / 3 * 4, '\0');
    korvex::base64::EncodeText(reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<unsigned int>(bytes.size()), &own[0], kernel);
    EXPECT_EQ(own, std::string(text)) << static_cast<int>(kernel);
  }
  return text;
}

}  // namespace

// Every length of bytes against Reference below; here the other inputs, both ways.
TEST(CBase64, FromABufferOrTheOutputItself) {
  CBuffer input(reinterpret_cast<const unsigned char*>("xxfoob"), 6);
  input.Consume(2);
  CString text;
  CBase64::Encode(input, text);
  EXPECT_STREQ(text, "Zm9vYg==");
  EXPECT_EQ(Content(input), "foob");
  text = "foobar";
  CBase64::Encode(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)), 6, text);
  EXPECT_STREQ(text, "Zm9vYmFy");
  CBuffer out;
  out.Append("Zm9vYmFy", 9);  // with its terminator: read before the old block goes
  EXPECT_EQ(CBase64::Decode(reinterpret_cast<const char*>(out.Ptr()), out), 1);
  EXPECT_EQ(Content(out), "foobar");
}

TEST(CBase64, EveryLengthUpTo300RoundTrips) {
  std::mt19937 rng(2);
  for (size_t length = 0; length <= 300; ++length) {
    const std::string bytes = RandomBytes(rng, length);
    const CString text = Encode(bytes);
    ASSERT_EQ(std::string(text), Reference(bytes)) << length;
    ASSERT_EQ(Decode(std::string(text)), "1:" + bytes) << length;
    // White space anywhere, inside groups and around the padding too.
    std::string spaced;
    for (char c : std::string(text)) {
      if (rng() % 5 == 0) spaced += " \t\n\v\f\r"[rng() % 6];
      spaced += c;
    }
    spaced += "\r\n";
    ASSERT_EQ(Decode(spaced), "1:" + bytes) << spaced;
  }
}

// 1: whole, 0: unpadded or misplaced padding, -1: nonzero unused bits; whole groups
// before the fault are kept.
TEST(CBase64Decode, ResultAndKeptBytesOfOddText) {
  const std::pair<const char*, std::string> cases[] = {
      {" \t\r\n\v\f", "1:"},
      {"Zm8 = ", "1:fo"},
      {"Zm9vYg", "0:foo"},     // ends after 2 characters of a group
      {"Zm9vY", "0:foo"},      // ends after 1
      {"Zm9v=", "0:foo"},      // "=" opens a group
      {"Zm9vYg=", "0:foo"},    // a single "=" after 2 characters
      {"Zm9vYmE==", "0:foo"},  // a second "=" after 3 characters
      {"Zm9vYmE=x", "0:foo"},  // anything after the padding
      {"Zh==x", "0:"},         // trailing text is checked before the unused bits
      {"Zm9vZh==", "-1:foo"},  // "h" leaves 0001 below the one byte
      {"Zm9vZm9=", "-1:foo"},  // "9" leaves 01 below the two bytes
      {"Zm9/\r\nZn9=\t", "-1:fo\x7F"},
  };
  for (const auto& [text, decoded] : cases) EXPECT_EQ(Decode(text), decoded) << text;
  CBuffer out(reinterpret_cast<const unsigned char*>("old"), 3);
  EXPECT_EQ(CBase64::Decode("", out), 1);
  EXPECT_EQ(out.Ptr(), nullptr);  // the old block released
}

TEST(CBase64Decode, CharactersOutsideTheAlphabetFail) {
  std::mt19937 rng(9);
  const std::string bytes = RandomBytes(rng, 60);
  const std::string text(Encode(bytes));  // long enough for the wide kernels
  for (int byte = 1; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const bool alphabet = isalnum(byte) && byte < 0x80;
    if (alphabet || c == '+' || c == '/' || c == '=' || strchr(" \t\n\v\f\r", c)) continue;
    const size_t at = 16 + byte % 48;  // every place in a group and in a 16-character block
    EXPECT_EQ(Decode(text.substr(0, at) + c + text.substr(at)), "0:" + bytes.substr(0, at / 4 * 3)) << byte;
  }
}

// Each vector loop works clean input itself: one that left it all to the
// scalar code would give the same bytes, only slowly.
TEST(Base64Kernels, VectorLoopsWorkCleanInputThemselves) {
  std::mt19937 rng(5);
  const std::string bytes = RandomBytes(rng, 192);
  const std::string text(Encode(bytes));
  for (Kernel kernel : Kernels()) {
    const korvex::base64::KernelLoops loops = korvex::base64::LoopsOf(kernel);
    if (!loops.encode) continue;  // the scalar kernel
    const unsigned char* from = reinterpret_cast<const unsigned char*>(bytes.data());
    unsigned int count = static_cast<unsigned int>(bytes.size());
    std::string chars(text.size(), '\0');
    char* to = &chars[0];
    loops.encode(from, count, to);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    std::string decoded(bytes.size(), '\0');
    unsigned char* out = reinterpret_cast<unsigned char*>(&decoded[0]);
    loops.decode(in, in + text.size(), out, out + decoded.size());
    // Every loop stops short of its last loads, but far beyond half of this.
    const size_t encoded = static_cast<size_t>(to - chars.data());
    const size_t got = static_cast<size_t>(reinterpret_cast<char*>(out) - decoded.data());
    EXPECT_GE(encoded, text.size() / 2) << static_cast<int>(kernel);
    EXPECT_GE(got, bytes.size() / 2) << static_cast<int>(kernel);
    EXPECT_EQ(chars.substr(0, encoded), text.substr(0, encoded)) << static_cast<int>(kernel);
    EXPECT_EQ(decoded.substr(0, got), bytes.substr(0, got)) << static_cast<int>(kernel);
  }
}
