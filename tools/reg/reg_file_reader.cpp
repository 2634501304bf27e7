// Reading the registry editor's text format.

#include "text/hex_digit.h"
#include "tools/reg/reg_file.h"
#include "tools/formats/utf16.h"

namespace korvex_tool {
namespace {

const char kBlanks[] = " \t";

std::string TrimLeft(const std::string& text) {
  size_t start = text.find_first_not_of(kBlanks);
  return start == std::string::npos ? std::string() : text.substr(start);
}

std::string TrimRight(const std::string& text) {
  size_t end = text.find_last_not_of(kBlanks);
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// 1 to 8 hexadecimal digits and nothing else.
bool ParseHexNumber(const std::string& text, DWORD* value) {
  if (text.empty() || text.size() > 8) return false;
  *value = 0;
  for (char c : text) {
    int digit = korvex::HexDigitValue(c);
    if (digit < 0) return false;
    *value = (*value << 4) | static_cast<DWORD>(digit);
  }
  return true;
}

// The whole file as UTF-8 text, whichever encoding it came in.
bool DecodeText(const std::string& bytes, std::string* text, std::string* error) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    std::u16string wide;
    if (BytesToUtf16(bytes.substr(2), &wide) && Utf16ToText(wide, text)) return true;
    *error = "the file is not valid UTF-16LE";
    return false;
  }
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    *error = "UTF-16 big-endian files are not supported; use UTF-16LE or UTF-8";
    return false;
  }
  *text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
  if (IsUtf8(*text)) return true;
  *error = "the file is neither UTF-16LE with a byte order mark nor UTF-8";
  return false;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

class Reader {
public:
  Reader(std::vector<std::string> lines, RegFile* file, std::string* error)
      : lines_(std::move(lines)), file_(file), error_(error) {}

  bool Run() {
    while (index_ < lines_.size() && TrimRight(lines_[index_]).empty()) ++index_;
    if (index_ == lines_.size()) {
      *error_ = "the file is empty, without the header \"" + std::string(kRegFileHeader) + "\"";
      return false;
    }
    if (TrimRight(lines_[index_]) != kRegFileHeader)
      return Fail("expected the header \"" + std::string(kRegFileHeader) + "\"");
    for (++index_; index_ < lines_.size(); ++index_) {
      std::string line = TrimRight(TrimLeft(lines_[index_]));
      bool ok = line.empty() || line[0] == ';' || (line[0] == '[' ? ReadKey(line) : ReadValue(line));
      if (!ok) return false;
    }
    return true;
  }

private:
  bool Fail(const std::string& why) {
    *error_ = "line " + std::to_string(index_ + 1) + ": " + why;
    return false;
  }

  bool ReadKey(const std::string& line) {
    if (line.back() != ']') return Fail("a key line must end with \"]\"");
    RegKeyEdit key;
    key.remove = line.size() > 1 && line[1] == '-';
    std::string path = line.substr(key.remove ? 2 : 1, line.size() - (key.remove ? 3 : 2));
    std::string why;
    if (!ParseKeyPath(path, &key.key, &why)) return Fail(why);
    if (key.key.subkey.empty()) return Fail("a root key cannot be written or deleted");
    file_->keys.push_back(key);
    return true;
  }

  // A quoted name or text from pos, which holds the opening quote; pos ends
  // after the closing quote.
  bool ReadQuoted(const std::string& line, size_t* pos, std::string* text) {
    text->clear();
    for (size_t i = *pos + 1; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        *pos = i + 1;
        return true;
      }
      if (c == '\\') {
        char next = i + 1 < line.size() ? line[++i] : '\0';
        if (next == '\\' || next == '"')
          c = next;
        else if (next == 'n')
          c = '\n';
        else
          return Fail("unknown escape \"\\" + std::string(1, next) + "\" in a quoted text");
      }
      text->push_back(c);
    }
    return Fail("a quoted text is not closed");
  }

  bool ReadValue(const std::string& line) {
    if (file_->keys.empty()) return Fail("a value before the first key");
    RegKeyEdit& key = file_->keys.back();
    if (key.remove) return Fail("a value below a key that is being deleted");
    RegValueEdit value;
    size_t pos = 1;
    if (line[0] == '"') {
      pos = 0;
      if (!ReadQuoted(line, &pos, &value.name)) return false;
    } else if (line[0] != '@') {
      return Fail("expected a key in brackets, a quoted value name, \"@\" or a comment");
    }
    pos = line.find_first_not_of(kBlanks, pos);
    if (pos == std::string::npos || line[pos] != '=') return Fail("expected \"=\" after the value name");
    std::string data = TrimLeft(line.substr(pos + 1));
    if (!ReadData(data, &value)) return false;
    key.values.push_back(value);
    return true;
  }

  bool ReadData(const std::string& data, RegValueEdit* value) {
    if (data == "-") {
      value->remove = true;
      return true;
    }
    if (!data.empty() && data[0] == '"') {
      size_t pos = 0;
      if (!ReadQuoted(data, &pos, &value->data)) return false;
      if (!TrimLeft(data.substr(pos)).empty()) return Fail("text after the closing quote");
      value->type = REG_SZ;
      value->data.push_back('\0');
      return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
      DWORD number = 0;
      if (!ParseHexNumber(data.substr(6), &number)) return Fail("dword: needs 1 to 8 hexadecimal digits");
      value->type = REG_DWORD;
      value->data.assign(reinterpret_cast<const char*>(&number), sizeof number);
      return true;
    }
    if (data.compare(0, 3, "hex") == 0) return ReadHex(data.substr(3), value);
    return Fail("unknown value data \"" + data + "\"");
  }

  // After "hex": an optional "(type)", ":", then the byte list.
  bool ReadHex(const std::string& rest, RegValueEdit* value) {
    size_t colon = rest.find(':');
    if (colon == std::string::npos) return Fail("expected \":\" after hex");
    value->type = REG_BINARY;
    if (colon > 0) {
      if (rest[0] != '(' || rest[colon - 1] != ')' || !ParseHexNumber(rest.substr(1, colon - 2), &value->type))
        return Fail("expected hex(TYPE): with TYPE in hexadecimal");
    }
    std::string list;
    if (!JoinContinuations(rest.substr(colon + 1), &list) || !ReadBytes(list, &value->data)) return false;
    if (value->type == REG_SZ || value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ) {
      std::u16string wide;
      if (!BytesToUtf16(value->data, &wide)) return Fail("text data needs an even count of bytes (UTF-16LE)");
      if (!Utf16ToText(wide, &value->data)) return Fail("the text data is not valid UTF-16LE");
    }
    return true;
  }

  // A list ending with "\" goes on on the next line.
  bool JoinContinuations(std::string list, std::string* joined) {
    list = TrimRight(list);
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      if (index_ + 1 == lines_.size()) return Fail("the hex list goes on past the end of the file");
      list += TrimRight(TrimLeft(lines_[++index_]));
    }
    *joined = list;
    return true;
  }

  // Comma-separated bytes of one or two hexadecimal digits; a comma may end the list.
  bool ReadBytes(const std::string& list, std::string* bytes) {
    bytes->clear();
    size_t start = 0;
    while (start < list.size()) {
      size_t comma = list.find(',', start);
      std::string item =
          TrimRight(TrimLeft(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      DWORD byte = 0;
      if (item.size() > 2 || !ParseHexNumber(item, &byte)) return Fail("\"" + item + "\" is not a hexadecimal byte");
      bytes->push_back(static_cast<char>(byte));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    return true;
  }

  std::vector<std::string> lines_;
  size_t index_ = 0;
  RegFile* file_;
  std::string* error_;
};

}  // namespace

size_t RegFile::ValueCount() const {
  size_t count = 0;
  for (const RegKeyEdit& key : keys) count += key.values.size();
  return count;
}

bool ReadRegFile(const std::string& bytes, RegFile* file, std::string* error) {
  std::string text;
  file->keys.clear();
  if (!DecodeText(bytes, &text, error)) return false;
  return Reader(SplitLines(text), file, error).Run();
}

}  // namespace korvex_tool
