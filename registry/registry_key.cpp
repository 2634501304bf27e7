// Holding, opening and closing the key.
#include "korvex/registry.h"

CRegistry::CRegistry() : m_key(NULL) {}

CRegistry::CRegistry(const CRegistry& other) : m_key(other.m_key) {}

CRegistry& CRegistry::operator=(const CRegistry& other) {
  m_key = other.m_key;
  return *this;
}

CRegistry::~CRegistry() { Close(); }

int CRegistry::Attach(HKEY key) {
  if (m_key || !key) return 0;
  m_key = key;
  return 1;
}

HKEY CRegistry::Detach() {
  HKEY key = m_key;
  m_key = NULL;
  return key;
}

int CRegistry::Open(HKEY parent, const char* name, int create, unsigned long access) {
  HKEY key = NULL;
  LONG status = create ? RegCreateKeyExA(parent, name, 0, NULL, REG_OPTION_NON_VOLATILE, access, NULL, &key, NULL)
                       : RegOpenKeyExA(parent, name, 0, access, &key);
  if (status != ERROR_SUCCESS) return 0;
  m_key = key;
  return 1;
}

int CRegistry::Open(CRegistry* parent, const char* name, int create, unsigned long access) {
  return Open(parent->GetSafeHkey(), name, create, access);
}

void CRegistry::Close() {
  if (!m_key) return;
  RegCloseKey(m_key);
  m_key = NULL;
}

HKEY CRegistry::GetSafeHkey() const {
  // Callers may reach this through a null pointer. Read back through a volatile
  // so the compiler cannot assume `this` is set and drop the check.
  const CRegistry* volatile self = this;
  return self ? self->m_key : NULL;
}
