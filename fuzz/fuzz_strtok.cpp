// Splits arbitrary text at an arbitrary delimiter and checks the tokens
// against a plain reference: no empty token, none holds the delimiter, and
// entries already in the array stay where they were.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "korvex/korvex.h"

namespace {

std::vector<std::string> Reference(const std::string& text, const std::string& delimiter) {
  std::vector<std::string> tokens;
  if (delimiter.empty()) return tokens;
  size_t position = 0;
  while (position < text.size()) {
    size_t found = text.find(delimiter, position);
    size_t end = found == std::string::npos ? text.size() : found;
    if (end > position) tokens.push_back(text.substr(position, end - position));
    position = found == std::string::npos ? text.size() : found + delimiter.size();
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte: the delimiter's length; then the delimiter, then the text.
  size_t delimiterLength = data[0] % 8;
  if (size - 1 < delimiterLength) return 0;
  std::string delimiter(reinterpret_cast<const char*>(data + 1), delimiterLength);
  delimiter = delimiter.c_str();  // a C text ends at its first zero byte
  std::string text(reinterpret_cast<const char*>(data + 1 + delimiterLength), size - 1 - delimiterLength);

  CStringArray tokens;
  tokens.Add("kept");
  CString input(text.data(), static_cast<int>(text.size()));
  int count = StrTok(tokens, input, delimiter.c_str());
  if (input.GetLength() != static_cast<int>(text.size())) abort();

  std::vector<std::string> expected = Reference(text, delimiter);
  if (count != static_cast<int>(expected.size()) || tokens.GetSize() != count + 1) abort();
  if (strcmp(tokens[0], "kept") != 0) abort();
  for (int i = 0; i < count; ++i) {
    const CString& token = tokens[i + 1];
    std::string got(static_cast<const char*>(token), static_cast<size_t>(token.GetLength()));
    if (got != expected[static_cast<size_t>(i)] || got.empty()) abort();
    if (got.find(delimiter) != std::string::npos) abort();
  }
  return 0;
}
