// korvex base64: the library's Base64 encoder and strict decoder.
#include <stdio.h>

#include <CLI/CLI.hpp>

#include "korvex/korvex.h"
#include "tools/command_group.h"
#include "tools/commands.h"
#include "tools/exit_status.h"
#include "tools/file_io.h"
#include "tools/tool_error.h"

namespace korvex_tool {
namespace {

// The decoder's refusals, each with its own status.
enum { kExitMalformed = 3, kExitNonCanonical = 4 };

struct Base64Options {
  std::string file = "-";
};

void Encode(const Base64Options& options) {
  std::string bytes = ReadAll(options.file);
  CString text;
  CBase64::Encode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned int>(bytes.size()), text);
  printf("%s\n", static_cast<const char*>(text));
}

void Decode(const Base64Options& options) {
  std::string text = ReadAll(options.file);
  if (text.find('\0') != std::string::npos) throw ToolError("not Base64: the input holds a zero byte", kExitMalformed);
  CBuffer bytes;
  int result = CBase64::Decode(text.c_str(), bytes);
  if (result == 0) throw ToolError("not Base64: malformed or cut short", kExitMalformed);
  if (result < 0)
    throw ToolError("not canonical Base64: the last group carries nonzero unused bits", kExitNonCanonical);
  std::string decoded;
  if (bytes.Len()) decoded.assign(reinterpret_cast<const char*>(bytes.Ptr()), bytes.Len());
  WriteAll("-", decoded);
}

}  // namespace

void AddBase64Command(CLI::App& app) {
  static Base64Options options;
  CLI::App* base64 = AddCommandGroup(app, "base64", "Encode and decode padded Base64 (RFC 4648)");

  CLI::App* encode = AddAction(base64, "encode", "Bytes to one line of Base64", [] { Encode(options); });
  encode->add_option("FILE", options.file, "the bytes; - or none for standard input");

  CLI::App* decode =
      AddAction(base64, "decode", "Base64 (white space anywhere) back to bytes", [] { Decode(options); });
  decode->add_option("FILE", options.file, "the text; - or none for standard input");
  AddExitStatus(decode, kExitMalformed, "malformed or cut short");
  AddExitStatus(decode, kExitNonCanonical, "canonical form violated (nonzero unused bits in the last group)");
  decode->footer("Nothing is written unless it decoded.");
}

}  // namespace korvex_tool
