#include "tools/reg_value_text.h"

#include <stdio.h>

#include <cctype>

#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

std::string Hex(const std::string& bytes) {
  std::string text;
  char pair[3];
  for (unsigned char byte : bytes) {
    snprintf(pair, sizeof pair, "%02X", byte);
    text += pair;
  }
  return text;
}

DWORD ParseDword(const std::string& text) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string digits = hex ? text.substr(2) : text;
  unsigned long long value = 0;
  bool ok = !digits.empty() && digits.size() <= 10;
  for (char c : digits) {
    if (!ok) break;
    ok = hex ? isxdigit(static_cast<unsigned char>(c)) : isdigit(static_cast<unsigned char>(c));
    value = value * (hex ? 16 : 10) + (isdigit(static_cast<unsigned char>(c)) ? c - '0' : (tolower(c) - 'a' + 10));
  }
  if (!ok || value > 0xFFFFFFFFull) throw ToolError("\"" + text + "\" is not a REG_DWORD (0 to 4294967295, or 0x...)", kExitUsage);
  return static_cast<DWORD>(value);
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

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
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
        data += text.substr(start, end == std::string::npos ? std::string::npos : end - start) + '\0';
        if (end == std::string::npos) break;
        start = end + separator.size();
      }
      return data + '\0';
    }
    case REG_DWORD: {
      DWORD number = ParseDword(text);
      return std::string(reinterpret_cast<const char*>(&number), sizeof number);
    }
    default:
      return ParseBinary(text);
  }
}

std::string DataToText(DWORD type, const std::string& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return data.substr(0, data.find('\0'));
    case REG_MULTI_SZ: {
      std::string text;
      for (size_t start = 0; start < data.size() && data[start] != '\0';) {
        size_t end = data.find('\0', start);
        if (!text.empty()) text += "\\0";
        text += data.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos) break;
        start = end + 1;
      }
      return text;
    }
    case REG_DWORD:
      if (data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        data.copy(reinterpret_cast<char*>(&number), sizeof number);
        char text[16];
        snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(number));
        return text;
      }
      return Hex(data);
    default:
      return Hex(data);
  }
}

}  // namespace korvex_tool
