// COptionStorage: values in the current key or the profile file.
#include "korvex/registry.h"
#include "korvex/settings.h"

namespace {

const int kTextSize = 4096;

const char* ProfileSection(const CString& section) {
  return section.IsEmpty() ? "Default" : static_cast<const char*>(section);
}

}  // namespace

void COptionStorage::SetValue(const char* name, int value) {
  if (m_current) {
    m_current->SetValue(name, static_cast<unsigned long>(value));
  } else if (!m_path.IsEmpty()) {
    char text[16];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(ProfileSection(m_section), name, text, m_path);
  }
}

void COptionStorage::SetValue(const char* name, const char* value) {
  if (m_current) {
    m_current->SetValue(name, value);
  } else if (!m_path.IsEmpty()) {
    WritePrivateProfileStringA(ProfileSection(m_section), name, value, m_path);
  }
}

int COptionStorage::GetValue(const char* name, int defaultValue) const {
  if (m_current) {
    unsigned long number = 0;
    return m_current->QueryValue(name, number) ? static_cast<int>(number) : defaultValue;
  }
  if (m_path.IsEmpty()) return defaultValue;
  return static_cast<int>(GetPrivateProfileIntA(ProfileSection(m_section), name, defaultValue, m_path));
}

CString COptionStorage::GetValue(const char* name, const char* defaultValue) const {
  // On the stack: a text of the string's own would be cleared whole first,
  // which costs more than reading an option the registry holds in memory.
  char buffer[kTextSize];
  if (m_current) {
    if (!m_current->QueryValue(name, buffer, kTextSize)) return CString(defaultValue);
  } else if (!m_path.IsEmpty()) {
    GetPrivateProfileStringA(ProfileSection(m_section), name, defaultValue, buffer, kTextSize, m_path);
  } else {
    return CString(defaultValue);
  }
  return CString(buffer);
}
