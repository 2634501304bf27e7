#include "korvex/buffer.h"
#include "korvex/settings.h"
#include "settings/ini_sections.h"
#include "text/atoi.h"

namespace korvex {
namespace ini {

CMapStringToString& KeysOf(CMapStringToPtr& sections, const char* section) {
  void*& keys = sections[section];
  if (!keys) keys = new CMapStringToString(10);
  return *static_cast<CMapStringToString*>(keys);
}

const CString* FindValue(const CMapStringToPtr& sections, const char* section, const char* key) {
  void* const* keys = sections.PLookup(section);
  return keys ? static_cast<const CMapStringToString*>(*keys)->PLookup(key) : NULL;
}

}  // namespace ini
}  // namespace korvex

using korvex::ini::FindValue;
using korvex::ini::KeysOf;

CIniFile::CIniFile(const char* path) : m_sections(10) {
  if (path) Read(path);
}

CIniFile::~CIniFile() {
  POSITION position = m_sections.GetStartPosition();
  while (position) {
    CString name;
    void* keys;
    m_sections.GetNextAssoc(position, name, keys);
    delete static_cast<CMapStringToString*>(keys);
  }
  m_sections.RemoveAll();
}

int CIniFile::GetValue(const char* section, const char* key, int defaultValue) const {
  const CString* value = FindValue(m_sections, section, key);
  if (!value) return defaultValue;
  int number = static_cast<int>(korvex::AtoiOf(*value, static_cast<size_t>(value->GetLength())));
  // atoi cannot tell a zero from text that is no number at all.
  if (number == 0 && *value != "0") return defaultValue;
  return number;
}

CString CIniFile::GetValue(const char* section, const char* key, const char* defaultValue) const {
  const CString* value = FindValue(m_sections, section, key);
  return value ? *value : CString(defaultValue);
}

void CIniFile::SetValue(const char* section, const char* key, int value) {
  CString text;
  text.Format("%d", value);
  KeysOf(m_sections, section)[key] = text;
}

void CIniFile::SetValue(const char* section, const char* key, const char* value) {
  KeysOf(m_sections, section)[key] = value;
}

void CIniFile::SetValue(const char* section, const char* key, const unsigned char* data, unsigned long length) {
  // The encoder takes 32-bit counts and gives no text for more than a string holds.
  if (length > 0xFFFFFFFFul) return;
  CString text;
  CBase64::Encode(data, static_cast<unsigned int>(length), text);
  if (text.IsEmpty() && length > 0) return;
  KeysOf(m_sections, section)[key] = text;
}
