#ifndef KORVEX_SETTINGS_INI_SECTIONS_H
#define KORVEX_SETTINGS_INI_SECTIONS_H

#include "korvex/types.h"

namespace korvex {
namespace ini {

// The section's key table, created empty when the section has none yet.
CMapStringToString& KeysOf(CMapStringToPtr& sections, const char* section);
// The stored value, or NULL; never adds anything.
const CString* FindValue(const CMapStringToPtr& sections, const char* section, const char* key);

}  // namespace ini
}  // namespace korvex

#endif
