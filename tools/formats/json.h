#ifndef KORVEX_TOOLS_FORMATS_JSON_H
#define KORVEX_TOOLS_FORMATS_JSON_H

// The --json output of the commands: one JSON document on standard output.
#include <string>
#include <vector>

namespace korvex_tool {

// A JSON string literal, quotes included, ASCII alone. A byte that is not
// UTF-8 is written as the lone surrogate \udc80 to \udcff, as an export writes it.
std::string JsonString(const std::string& text);

// "[a,b,...]" of items already in JSON.
std::string JsonArray(const std::vector<std::string>& items);

}  // namespace korvex_tool

#endif
