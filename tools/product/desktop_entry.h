#ifndef KORVEX_TOOLS_PRODUCT_DESKTOP_ENTRY_H
#define KORVEX_TOOLS_PRODUCT_DESKTOP_ENTRY_H

// A product's desktop entry (freedesktop Desktop Entry format): it makes the
// product's URL schemes open through "korvex open", so a link clicked in a
// browser takes the same road as a product's own call. Failures are thrown as
// ToolError.
#include <string>
#include <vector>

namespace korvex_tool {

// korvex-<product>.desktop, in lower case.
std::string DesktopEntryName(const std::string& product);
// That file in $XDG_DATA_HOME/applications (~/.local/share when unset, and
// /usr/local/share for root).
std::string DesktopEntryPath(const std::string& product);

// The entry's text; `tool` is the command that opens a link, as its words.
std::string DesktopEntryText(const std::string& product, const std::vector<std::string>& schemes,
                             const std::vector<std::string>& tool);

// Writes (or, with an empty text, removes) the entry, then refreshes the
// folder's MIME cache when update-desktop-database is installed. False when
// removing an entry that was not there.
bool WriteDesktopEntry(const std::string& product, const std::string& text);

}  // namespace korvex_tool

#endif
