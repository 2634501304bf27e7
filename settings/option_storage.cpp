// COptionStorage: construction, closing and sections.
#include "korvex/registry.h"
#include "korvex/settings.h"
#include "platform/mbstring.h"

COptionStorage::COptionStorage() : m_current(NULL), m_root(NULL) {}

COptionStorage::COptionStorage(const COptionStorage& other)
    : m_path(other.m_path), m_section(other.m_section), m_current(other.m_current), m_root(other.m_root) {}

COptionStorage& COptionStorage::operator=(const COptionStorage& other) {
  m_path = other.m_path;
  m_section = other.m_section;
  m_current = other.m_current;
  m_root = other.m_root;
  return *this;
}

COptionStorage::~COptionStorage() {
  if (!m_path.IsEmpty() || m_current) Close();
}

void COptionStorage::Close() {
  if (m_current) {
    if (m_current != m_root) delete m_root;
    delete m_current;
    m_current = NULL;
    m_root = NULL;
  } else {
    m_path.Empty();
  }
  m_section.Empty();
}

int COptionStorage::SetSection(const char* name) {
  if (!name) name = "";
  if (_mbscmp(reinterpret_cast<const unsigned char*>(name),
              reinterpret_cast<const unsigned char*>(static_cast<const char*>(m_section))) == 0)
    return 1;
  if (*name) {
    if (m_current) {
      // Beside the previous section, below the root key.
      CRegistry* key = new CRegistry;
      if (!key->Open(m_root, name, 1, KEY_ALL_ACCESS)) {
        delete key;
        return 0;
      }
      if (m_current != m_root) delete m_current;
      m_current = key;
    }
    m_section = name;
    return 1;
  }
  if (m_current && m_current != m_root) {
    delete m_current;
    m_current = m_root;
  }
  m_section.Empty();
  return 1;
}
