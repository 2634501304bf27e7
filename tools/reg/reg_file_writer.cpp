// Writing the registry editor's text format, as Windows writes it.
#include <stdio.h>

#include "tools/reg/reg_file.h"
#include "tools/formats/utf16.h"

namespace korvex_tool {
namespace {

constexpr size_t kLineWidth = 80;

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// A value name may hold a line feed, written as "\n" as the reader takes it;
// string data with line breaks is written in hex instead.
std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"' || c == '\n') quoted.push_back('\\');
    quoted.push_back(c == '\n' ? 'n' : c);
  }
  return quoted + "\"";
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Text that reads back byte for byte from a quoted string: UTF-8 with one
// terminator at its end and no other zero byte or line break.
bool FitsQuotedString(const std::string& data) {
  return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1 && !HasLineBreak(data) &&
         IsUtf8(data);
}

// "prefix01,02,..." broken with "\" before the line grows past the width.
std::string HexLines(std::string line, const std::string& bytes) {
  std::string out;
  bool lineHasBytes = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char piece[4];
    snprintf(piece, sizeof piece, i + 1 < bytes.size() ? "%02x," : "%02x", static_cast<unsigned char>(bytes[i]));
    if (lineHasBytes && line.size() + 3 + 1 > kLineWidth - 1) {
      out += line + "\\\r\n";
      line = "  ";
    }
    line += piece;
    lineHasBytes = true;
  }
  return out + line + "\r\n";
}

std::string ValueLines(const RegValueEdit& value) {
  std::string name = value.name.empty() ? "@" : Quote(value.name);
  if (value.remove) return name + "=-\r\n";
  if (value.type == REG_SZ && FitsQuotedString(value.data))
    return name + "=" + Quote(value.data.substr(0, value.data.size() - 1)) + "\r\n";
  if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
    DWORD number = 0;
    value.data.copy(reinterpret_cast<char*>(&number), sizeof number);
    char text[16];
    snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
    return name + "=dword:" + text + "\r\n";
  }
  char type[16] = "";
  if (value.type != REG_BINARY) snprintf(type, sizeof type, "(%x)", static_cast<unsigned>(value.type));
  std::string bytes = IsTextType(value.type) ? Utf16ToBytes(TextToUtf16(value.data)) : value.data;
  return HexLines(name + "=hex" + type + ":", bytes);
}

}  // namespace

bool WriteRegFile(const RegFile& file, std::string* bytes, std::string* error, bool utf8) {
  std::string text = std::string(kRegFileHeader) + "\r\n\r\n";
  for (const RegKeyEdit& key : file.keys) {
    if (HasLineBreak(key.key.subkey)) {
      *error = "the key \"" + key.key.Full() + "\" holds a line break, which a .reg file cannot carry";
      return false;
    }
    text += (key.remove ? "[-" : "[") + key.key.Full() + "]\r\n";
    for (const RegValueEdit& value : key.values) {
      if (value.name.find('\r') != std::string::npos) {
        *error = "a value name of \"" + key.key.Full() + "\" holds a carriage return, which a .reg file cannot carry";
        return false;
      }
      text += ValueLines(value);
    }
    text += "\r\n";
  }
  *bytes = utf8 ? text : "\xFF\xFE" + Utf16ToBytes(TextToUtf16(text));
  return true;
}

}  // namespace korvex_tool
