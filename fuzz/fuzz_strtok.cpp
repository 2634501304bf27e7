// Splits arbitrary text at an arbitrary delimiter against an independent
// model that follows the rule as written: find the delimiter in what is left,
// cut the token before it (if any) and the delimiter off the front, until
// nothing is left. Entries already in the array stay where they were.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "korvex/korvex.h"

namespace {

std::vector<std::string> Model(std::string text, const std::string& delimiter) {
  std::vector<std::string> tokens;
  if (delimiter.empty()) return tokens;
  while (!text.empty()) {
    size_t found = text.find(delimiter);
    if (found == std::string::npos) {
      tokens.push_back(text);
      text.clear();
    } else {
      if (found > 0) tokens.push_back(text.substr(0, found));
      text.erase(0, found + delimiter.size());
    }
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
  if (std::string(input, static_cast<size_t>(input.GetLength())) != text) abort();

  std::vector<std::string> expected = Model(text, delimiter);
  if (count != static_cast<int>(expected.size()) || tokens.GetSize() != count + 1) abort();
  if (strcmp(tokens[0], "kept") != 0) abort();
  for (int i = 0; i < count; ++i) {
    const CString& token = tokens[i + 1];
    if (std::string(token, static_cast<size_t>(token.GetLength())) != expected[static_cast<size_t>(i)]) abort();
  }
  return 0;
}
