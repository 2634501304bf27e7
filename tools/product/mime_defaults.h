#ifndef KORVEX_TOOLS_PRODUCT_MIME_DEFAULTS_H
#define KORVEX_TOOLS_PRODUCT_MIME_DEFAULTS_H

// The [Default Applications] of mimeapps.list: which desktop entry opens a
// MIME type (here the x-scheme-handler/<scheme> types) before any other.
// Failures are thrown as ToolError.
#include <string>
#include <vector>

namespace korvex_tool {

// $XDG_CONFIG_HOME/mimeapps.list (~/.config when unset); for root without
// XDG_CONFIG_HOME, /etc/xdg/mimeapps.list.
std::string MimeAppsPath();

// Makes `entry` (the desktop file's name) the default of each scheme, ahead
// of the handlers already listed; the file's other lines stay as they are.
void SetSchemeDefaults(const std::string& entry, const std::vector<std::string>& schemes);

// Takes `entry` out of every scheme's defaults, and a line with it when no
// other handler is left; false when there was none.
bool RemoveSchemeDefaults(const std::string& entry);

}  // namespace korvex_tool

#endif
