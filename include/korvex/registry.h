#ifndef KORVEX_REGISTRY_H
#define KORVEX_REGISTRY_H

// One owned registry key. Each operation is one or two registry calls; every
// int result is 1 for success and 0 for failure, and the platform's error code
// is not kept. A NULL or empty value name addresses the key's default value.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

class KORVEX_API CRegistry {
public:
  CRegistry();
  // Copies share the handle: all but one must Detach it before destruction.
  CRegistry(const CRegistry& other);
  CRegistry& operator=(const CRegistry& other);
  virtual ~CRegistry();

  // Takes `key` only when none is held and `key` is not NULL.
  int Attach(HKEY key);
  // Gives the held key away (NULL if none) without closing it.
  HKEY Detach();

  // With `create` nonzero the key and any missing keys on the way are created;
  // otherwise a missing key fails. A key held before is replaced, not closed:
  // Close it first. A failure leaves the object as it was.
  int Open(HKEY parent, const char* name, int create, unsigned long access);
  int Open(CRegistry* parent, const char* name, int create, unsigned long access);
  void Close();
  // The held key, or NULL; also NULL when called through a null pointer.
  HKEY GetSafeHkey() const;

  // REG_DWORD.
  int SetValue(const char* name, unsigned long number);
  // REG_SZ, stored without a terminating zero byte.
  int SetValue(const char* name, const char* text);
  // REG_BINARY.
  int SetValue(const char* name, const unsigned char* data, unsigned long length);

  // Each query fails when the value has another type than the one asked for.
  int QueryValue(const char* name, unsigned long& number) const;
  // At most size - 1 bytes of text, always terminated on success.
  int QueryValue(const char* name, char* buffer, unsigned long size) const;
  // `size`: the buffer's size in, the bytes returned out.
  int QueryValue(const char* name, unsigned char* data, unsigned long* size) const;
  // A text of at most 32767 bytes, else `defaultValue`.
  CString GetValue(const char* name, const CString& defaultValue) const;
  unsigned long GetValue(const char* name, unsigned long defaultValue) const;

  // Names by index, from 0 upward until the first 0 (the end or any failure).
  int EnumKey(unsigned long index, char* buffer, unsigned long size) const;
  int EnumValue(unsigned long index, char* buffer, unsigned long size) const;

  int DeleteValue(const char* name);
  // 1 when no value is left; stops at the first deletion that fails, with 0.
  int DeleteAllValues();
  // `leafOnly` nonzero deletes only a subkey without subkeys of its own; 0
  // deletes the whole subtree.
  int DeleteKey(const char* name, int leafOnly);
  // Copies the subkey's tree to `newName` (merging into an existing key) and
  // then deletes the old one. Refused with 0, before anything changes, when
  // `newName` is `oldName` or lies below it. A failed copy leaves the old
  // subkey whole and what was copied so far under the new name.
  int RenameKey(const char* oldName, const char* newName);

private:
  HKEY m_key;
};

#endif
