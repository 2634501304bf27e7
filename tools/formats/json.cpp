#include "tools/formats/json.h"

#include <stdio.h>

#include "tools/formats/utf16.h"

namespace korvex_tool {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char16_t unit : TextToUtf16(text)) {
    if (unit == '"' || unit == '\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
      out += escape;
    }
  }
  return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) out += (out.size() > 1 ? "," : "") + item;
  return out + "]";
}

}  // namespace korvex_tool
