#include "platform/posix/profile/results.h"

#include <cstring>

#include "platform/posix/profile/text.h"

namespace korvex {
namespace posix {
namespace profile {

DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size) {
  DWORD length = text.size() < size ? static_cast<DWORD>(text.size()) : size - 1;
  memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

DWORD CopyList(const std::vector<std::string>& texts, LPSTR buffer, DWORD size, DWORD spare) {
  std::string list;
  for (const std::string& text : texts) list.append(text).push_back('\0');
  if (list.size() + 1 + spare <= size) {
    memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    if (list.empty() && size > 1) buffer[1] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

void NoteIfCut(bool complete) {
  if (!complete) SetLastError(ERROR_FILE_TOO_LARGE);
}

std::string ProfileName(const char* name) { return TrimBlanks(name ? name : ""); }

}  // namespace profile
}  // namespace posix
}  // namespace korvex
