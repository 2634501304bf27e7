// Binary data in a profile: two hexadecimal digits per byte, then the checksum
// (the low byte of the bytes' sum) the same way, as Windows writes it.
#include <cstring>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/posix/profile/digits.h"
#include "platform/posix/profile/file.h"
#include "platform/posix/profile/results.h"

using namespace korvex::posix::profile;

namespace {

// The bytes of a text written for `size` bytes. As Win32 reports it: a text of
// another length is ERROR_BAD_LENGTH, one with a character that is no
// hexadecimal digit or a wrong checksum ERROR_INVALID_DATA.
LONG DecodeStruct(std::string_view text, size_t size, std::vector<unsigned char>* bytes) {
  if (text.size() != 2 * size + 2) return ERROR_BAD_LENGTH;
  unsigned char sum = 0;
  for (size_t i = 0; i <= size; ++i) {
    unsigned high = DigitValue(text[2 * i]), low = DigitValue(text[2 * i + 1]);
    if (high >= 16 || low >= 16) return ERROR_INVALID_DATA;
    unsigned char byte = static_cast<unsigned char>(high * 16 + low);
    if (i == size) return byte == sum ? ERROR_SUCCESS : ERROR_INVALID_DATA;
    bytes->push_back(byte);
    sum = static_cast<unsigned char>(sum + byte);
  }
  return ERROR_INVALID_DATA;
}

std::string EncodeStruct(const unsigned char* bytes, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  unsigned char sum = 0;
  for (size_t i = 0; i <= size; ++i) {
    unsigned char byte = i < size ? bytes[i] : sum;
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 15]);
    sum = static_cast<unsigned char>(sum + byte);
  }
  return text;
}

}  // namespace

BOOL GetPrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct, UINT uSizeStruct, LPCSTR szFile) {
  if (!lpszSection || !lpszKey || (!lpStruct && uSizeStruct > 0)) return FALSE;
  std::shared_ptr<const ProfileText> text = LoadProfile(szFile);
  std::string section = ProfileName(lpszSection);
  // The value as written: quotes around it are not taken off.
  std::optional<std::string_view> value = text->RawValue(section, ProfileName(lpszKey));
  std::vector<unsigned char> bytes;
  // A missing value reads as an empty text, of the wrong length, unless it may lie past a cut.
  LONG error = !value && !text->Complete(section)
                   ? ERROR_FILE_TOO_LARGE
                   : DecodeStruct(value ? *value : std::string_view(), uSizeStruct, &bytes);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (uSizeStruct > 0) memcpy(lpStruct, bytes.data(), uSizeStruct);
  return TRUE;
}

BOOL WritePrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct, UINT uSizeStruct, LPCSTR szFile) {
  std::string section = ProfileName(lpszSection), key = ProfileName(lpszKey);
  return UpdateProfile(lpszSection, szFile, [&](ProfileText& text) {
    if (!lpszKey) return text.RemoveSection(section);
    if (!lpStruct) return text.RemoveKey(section, key);
    return text.Set(section, key, EncodeStruct(static_cast<const unsigned char*>(lpStruct), uSizeStruct));
  });
}
