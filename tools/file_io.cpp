#include "tools/file_io.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "tools/tool_error.h"

namespace korvex_tool {

std::string ReadAll(const std::string& path) {
  bool standardInput = path == "-";
  FILE* file = standardInput ? stdin : fopen(path.c_str(), "rb");
  if (!file) throw ToolError("cannot read " + path + ": " + strerror(errno));
  std::string bytes;
  char chunk[65536];
  size_t count;
  while ((count = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
  bool failed = ferror(file);
  int error = errno;
  if (!standardInput) fclose(file);
  if (failed) throw ToolError("cannot read " + path + ": " + strerror(error));
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  bool standardOutput = path == "-";
  FILE* file = standardOutput ? stdout : fopen(path.c_str(), "wb");
  if (!file) throw ToolError("cannot write " + path + ": " + strerror(errno));
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (standardOutput ? fflush(file) : fclose(file)) == 0 && ok;
  if (!ok) throw ToolError("cannot write " + path + ": " + strerror(errno));
}

void ReplaceWhole(const std::string& path, const std::string& bytes) {
  std::string partial = path + ".part";
  WriteAll(partial, bytes);
  if (rename(partial.c_str(), path.c_str()) != 0) {
    int error = errno;
    unlink(partial.c_str());
    throw ToolError("cannot write " + path + ": " + strerror(error));
  }
}

}  // namespace korvex_tool
