// Subkeys: enumerating and deleting.
#include "korvex/registry.h"
#include "platform/shell.h"

int CRegistry::EnumKey(unsigned long index, char* buffer, unsigned long size) const {
  if (!buffer || size == 0) return 0;
  return RegEnumKeyA(m_key, static_cast<DWORD>(index), buffer, static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

int CRegistry::DeleteKey(const char* name, int leafOnly) {
  if (!m_key) return 0;
  LONG status = leafOnly ? RegDeleteKeyA(m_key, name) : static_cast<LONG>(SHDeleteKeyA(m_key, name));
  return status == ERROR_SUCCESS;
}
