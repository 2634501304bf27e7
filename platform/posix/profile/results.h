#ifndef KORVEX_PLATFORM_POSIX_PROFILE_RESULTS_H
#define KORVEX_PLATFORM_POSIX_PROFILE_RESULTS_H

// How the profile functions hand texts and lists to the caller's buffer.
#include <string>
#include <string_view>
#include <vector>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace profile {

// Copies a text, cut to the buffer (size at least 1); the length copied.
DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size);

// Copies texts each ending in a zero byte, and one more zero after the last
// (size at least 1). A list that does not fit with `spare` bytes left over is
// cut and still ends in two zeros: size - 2.
DWORD CopyList(const std::vector<std::string>& texts, LPSTR buffer, DWORD size, DWORD spare = 0);

// Sets ERROR_FILE_TOO_LARGE when an answer is not `complete`: the file was cut
// at the bound of reads, and what lies past the cut could change the answer.
void NoteIfCut(bool complete);

// A section or key name as the caller gave it, blanks trimmed; "" for NULL.
std::string ProfileName(const char* name);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
