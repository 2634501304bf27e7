#ifndef KORVEX_TOOLS_DEMO_H
#define KORVEX_TOOLS_DEMO_H

class CUrlInfo;

namespace korvex_tool {

void PrintUrl(const CUrlInfo& url);
// The library's main road, step by step, working in the given folder.
int RunDemo(const char* folder);

}  // namespace korvex_tool

#endif
