#ifndef KORVEX_TOOLS_FILE_IO_H
#define KORVEX_TOOLS_FILE_IO_H

#include <string>

namespace korvex_tool {

// The whole file, or standard input for "-". Throws ToolError.
std::string ReadAll(const std::string& path);
// Replaces the file, or writes to standard output for "-". Throws ToolError.
void WriteAll(const std::string& path, const std::string& bytes);
// Replaces the file whole or not at all (written beside it, then renamed over
// it), for files a desktop may read meanwhile. Throws ToolError.
void ReplaceWhole(const std::string& path, const std::string& bytes);

}  // namespace korvex_tool

#endif
