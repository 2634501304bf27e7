#ifndef KORVEX_SETTINGS_H
#define KORVEX_SETTINGS_H

#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

// An INI file in memory: sections of keys of text values. Names compare
// exactly. Every read and write names its file; the model is tied to none.
//
// Line grammar: a line "[name]" makes name the current section; "key=value"
// (split at the first "=", key not empty) is stored into the current section
// unless its name is empty; every other line is skipped. Nothing is trimmed,
// quoted or escaped. A line's text ends at its first zero byte.
class KORVEX_API CIniFile {
public:
  // Reads the file when a path is given; a failed read leaves the model empty.
  CIniFile(const char* path = NULL);
  virtual ~CIniFile();
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  // Adds the file's sections and keys; 0 when it cannot be opened.
  int Read(const char* path);

  // Lookups never add a section or a key.
  // atoi of the value (wrapping modulo 2^32 on overflow); the default when
  // missing, or when atoi gives 0 for any text but "0".
  int GetValue(const char* section, const char* key, int defaultValue) const;
  CString GetValue(const char* section, const char* key, const char* defaultValue) const;

  void SetValue(const char* section, const char* key, int value);
  void SetValue(const char* section, const char* key, const char* value);
  // Stored as padded Base64 text. Data whose text would not fit a string
  // (more than 1,610,612,733 bytes) is not stored: the model stays as it was.
  void SetValue(const char* section, const char* key, const unsigned char* data, unsigned long length);

  // Replaces the file with the whole model; 0 when it cannot be created, or
  // when writing or closing it fails (a full disk): the file may then be cut
  // short, and the model is unchanged. Names and values are written as they
  // are: one holding a line break reads back as further lines, so check
  // untrusted text first.
  // Each section is written as its header followed by its keys, sections and
  // keys in the reverse of the maps' enumeration (newest first), so a file
  // read and written again keeps its order.
  int Write(const char* path) const;

private:
  CMapStringToPtr m_sections;
};

#endif
