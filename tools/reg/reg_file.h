#ifndef KORVEX_TOOLS_REG_REG_FILE_H
#define KORVEX_TOOLS_REG_REG_FILE_H

// The text format of the Windows registry editor, version 5.00: a header line,
// then blocks of "[KEY]" (or "[-KEY]", delete the key with everything below
// it) followed by value lines: "name"="text", "name"=dword:0000002a,
// "name"=hex:01,02 (REG_BINARY), "name"=hex(N):... (any type N; for the text
// types 1, 2 and 7 the bytes are UTF-16LE), "name"=- (delete the value); "@"
// is the default value. Hex lists continue on the next line after a "\".
// Windows writes the file in UTF-16LE with a byte order mark; UTF-8 is read too.
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tools/reg/reg_key_path.h"

namespace korvex_tool {

// The first line of every file.
constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

struct RegValueEdit {
  std::string name;  // empty for the default value
  bool remove = false;
  DWORD type = REG_NONE;
  std::string data;  // the bytes as the registry keeps them: text in UTF-8
};

struct RegKeyEdit {
  KeyPath key;
  bool remove = false;
  std::vector<RegValueEdit> values;
};

struct RegFile {
  std::vector<RegKeyEdit> keys;
  size_t ValueCount() const;
};

// Reads a whole file; false, with "line N: why", on the first thing that is
// not the format. Nothing of a refused file is meant to be applied.
bool ReadRegFile(const std::string& bytes, RegFile* file, std::string* error);

// The file as Windows writes it: UTF-16LE with a byte order mark (or UTF-8
// without one), CRLF line ends. Text data that is not UTF-8 goes in the hex(N)
// form, so it reads back byte for byte. False, with the reason, for a name the
// format cannot carry (a line break in it).
bool WriteRegFile(const RegFile& file, std::string* bytes, std::string* error, bool utf8 = false);

}  // namespace korvex_tool

#endif
