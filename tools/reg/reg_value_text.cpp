#include "tools/reg/reg_value_text.h"

#include <stdio.h>

#include <cctype>

#include "tools/tool_error.h"

namespace korvex_tool {

std::string Hex(const std::string& bytes) {
  std::string text;
  char pair[3];
  for (unsigned char byte : bytes) {
    snprintf(pair, sizeof pair, "%02X", byte);
    text += pair;
  }
  return text;
}

namespace {

// A decimal or "0x" hexadecimal number that fits `bytes` bytes.
unsigned long long ParseNumber(const std::string& text, size_t bytes, const char* type) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string digits = hex ? text.substr(2) : text;
  unsigned long long limit = bytes == 8 ? ~0ull : (1ull << (8 * bytes)) - 1, value = 0;
  bool ok = !digits.empty();
  for (char c : digits) {
    ok = ok && (hex ? isxdigit(static_cast<unsigned char>(c)) : isdigit(static_cast<unsigned char>(c)));
    if (!ok) break;
    unsigned digit = isdigit(static_cast<unsigned char>(c)) ? c - '0' : tolower(c) - 'a' + 10, base = hex ? 16 : 10;
    ok = value <= (limit - digit) / base;
    value = value * base + digit;
  }
  if (!ok)
    throw ToolError("\"" + text + "\" is not a " + type + " (0 to " + std::to_string(limit) + ", or 0x...)",
                    kExitUsage);
  return value;
}

std::string ParseBinary(const std::string& text) {
  std::string bytes;
  bool ok = text.size() % 2 == 0;
  for (size_t i = 0; ok && i < text.size(); i += 2) {
    ok = isxdigit(static_cast<unsigned char>(text[i])) && isxdigit(static_cast<unsigned char>(text[i + 1]));
    if (ok) bytes.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  if (!ok) throw ToolError("\"" + text + "\" is not REG_BINARY data (hexadecimal digits, two a byte)", kExitUsage);
  return bytes;
}

}  // namespace

size_t NumberSize(DWORD type) { return type == REG_DWORD ? 4 : type == REG_QWORD ? 8 : 0; }

unsigned long long NumberOf(const std::string& data) {
  unsigned long long number = 0;  // little-endian, as the registry keeps it
  for (size_t i = data.size(); i-- > 0;) number = number << 8 | static_cast<unsigned char>(data[i]);
  return number;
}

std::vector<std::string> TextsOf(DWORD type, const std::string& data) {
  if (type != REG_MULTI_SZ) return {data.substr(0, data.find('\0'))};
  std::vector<std::string> texts;
  for (size_t start = 0; start < data.size() && data[start] != '\0';) {
    size_t end = data.find('\0', start);
    texts.push_back(data.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return texts;
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
    default: {
      char text[16];
      snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(type));
      return text;
    }
  }
}

std::string DataFromText(DWORD type, const std::string& text, const std::string& separator) {
  if (text.find('\0') != std::string::npos) throw ToolError("value data holds a zero byte", kExitUsage);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return text + '\0';
    case REG_MULTI_SZ: {
      if (separator.empty()) throw ToolError("the separator is empty", kExitUsage);
      std::string data;
      for (size_t start = 0; !text.empty();) {
        size_t end = text.find(separator, start);
        std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece.empty())
          throw ToolError("REG_MULTI_SZ data cannot hold an empty text: the empty text ends the list", kExitUsage);
        data += piece + '\0';
        if (end == std::string::npos) break;
        start = end + separator.size();
      }
      return data + '\0';
    }
    case REG_DWORD: {
      DWORD number = static_cast<DWORD>(ParseNumber(text, sizeof(DWORD), "REG_DWORD"));
      return std::string(reinterpret_cast<const char*>(&number), sizeof number);
    }
    case REG_QWORD: {
      unsigned long long number = ParseNumber(text, sizeof number, "REG_QWORD");
      return std::string(reinterpret_cast<const char*>(&number), sizeof number);
    }
    default:
      return ParseBinary(text);
  }
}

std::string DataFromFile(DWORD type, const std::string& bytes, const std::string& separator) {
  return type == REG_BINARY || type == REG_NONE ? bytes : DataFromText(type, bytes, separator);
}

std::string DataToText(DWORD type, const std::string& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return data.substr(0, data.find('\0'));
    case REG_MULTI_SZ: {
      std::string text;
      for (const std::string& piece : TextsOf(type, data)) text += (text.empty() ? "" : "\\0") + piece;
      return text;
    }
    case REG_DWORD:
    case REG_QWORD:
      if (data.size() == NumberSize(type)) {
        char text[24];
        snprintf(text, sizeof text, "0x%llx", NumberOf(data));
        return text;
      }
      return Hex(data);
    default:
      return Hex(data);
  }
}

}  // namespace korvex_tool
