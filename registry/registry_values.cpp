// Values: setting, querying with type checks, enumerating, deleting.
#include <string.h>

#include "korvex/registry.h"
#include "registry/exact_value.h"

namespace {

// The text query leaves room for the terminator it writes after the data.
int QueryText(HKEY key, const char* name, char* buffer, unsigned long size) {
  if (!buffer || size == 0) return 0;
  DWORD type = 0;
  DWORD length = static_cast<DWORD>(size - 1);
  if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(buffer), &length) != ERROR_SUCCESS ||
      type != REG_SZ)
    return 0;
  buffer[length] = '\0';
  return 1;
}

const int kGetValueTextSize = 32768;
const int kValueNameSize = 1024;

}  // namespace

int CRegistry::SetValue(const char* name, unsigned long number) {
  DWORD data = static_cast<DWORD>(number);
  return RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

int CRegistry::SetValue(const char* name, const char* text) {
  return korvex::registry::SetExactValue(m_key, name, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                         static_cast<DWORD>(lstrlenA(text))) == ERROR_SUCCESS;
}

int CRegistry::SetValue(const char* name, const unsigned char* data, unsigned long length) {
  return RegSetValueExA(m_key, name, 0, REG_BINARY, data, static_cast<DWORD>(length)) == ERROR_SUCCESS;
}

int CRegistry::QueryValue(const char* name, unsigned long& number) const {
  // Read into a DWORD: unsigned long is wider than 4 bytes on some targets.
  DWORD type = 0, data = 0, size = sizeof data;
  LONG status = RegQueryValueExA(m_key, name, NULL, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status != ERROR_SUCCESS) return 0;
  number = data;
  return type == REG_DWORD;
}

int CRegistry::QueryValue(const char* name, char* buffer, unsigned long size) const {
  return QueryText(m_key, name, buffer, size);
}

int CRegistry::QueryValue(const char* name, unsigned char* data, unsigned long* size) const {
  if (!size) return 0;
  DWORD type = 0, length = static_cast<DWORD>(*size);
  LONG status = RegQueryValueExA(m_key, name, NULL, &type, data, &length);
  *size = length;
  return status == ERROR_SUCCESS && type == REG_BINARY;
}

CString CRegistry::GetValue(const char* name, const CString& defaultValue) const {
  CString text;
  char* buffer = text.GetBufferSetLength(kGetValueTextSize);
  memset(buffer, 0, kGetValueTextSize);
  if (!QueryText(m_key, name, buffer, kGetValueTextSize)) return defaultValue;
  text.ReleaseBuffer();
  return text;
}

unsigned long CRegistry::GetValue(const char* name, unsigned long defaultValue) const {
  unsigned long number = 0;
  return QueryValue(name, number) ? number : defaultValue;
}

int CRegistry::EnumValue(unsigned long index, char* buffer, unsigned long size) const {
  if (!buffer || size == 0) return 0;
  DWORD length = static_cast<DWORD>(size - 1);
  if (RegEnumValueA(m_key, static_cast<DWORD>(index), buffer, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
    return 0;
  buffer[length] = '\0';
  return 1;
}

int CRegistry::DeleteValue(const char* name) { return RegDeleteValueA(m_key, name) == ERROR_SUCCESS; }

int CRegistry::DeleteAllValues() {
  char name[kValueNameSize];
  // Always index 0: each deletion moves the next value there.
  while (EnumValue(0, name, sizeof name))
    if (!DeleteValue(name)) return 0;
  return 1;
}
