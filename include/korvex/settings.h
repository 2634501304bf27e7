#ifndef KORVEX_SETTINGS_H
#define KORVEX_SETTINGS_H

/// @file
/// INI files in memory and on disk, and the option store.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

/// @defgroup settings Settings
/// INI files in memory and on disk, and the option store that keeps a
/// product's named integers and texts in a profile file or the registry.
/// @{

/// An INI file in memory: sections of keys of text values. Names compare
/// exactly. Every read and write names its file; the model is tied to none.
///
/// Line grammar: a line "[name]" makes name the current section; "key=value"
/// (split at the first "=", key not empty) is stored into the current section
/// unless its name is empty; every other line is skipped. Nothing is trimmed,
/// quoted or escaped. A line's text ends at its first zero byte.
class KORVEX_API CIniFile {
public:
  /// Reads the file when a path is given; a failed read leaves the model empty.
  CIniFile(const char* path = NULL);
  /// Releases the model.
  virtual ~CIniFile();
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  /// Adds the file's sections and keys; 0 when it cannot be opened.
  int Read(const char* path);

  /// atoi of the value (wrapping modulo 2^32 on overflow); the default when
  /// missing, or when atoi gives 0 for any text but "0". Lookups never add a
  /// section or a key.
  int GetValue(const char* section, const char* key, int defaultValue) const;
  /// The value, or the default when missing.
  CString GetValue(const char* section, const char* key, const char* defaultValue) const;

  /// @{
  /// Sets the key's value (as decimal text), adding the section and the key as needed.
  void SetValue(const char* section, const char* key, int value);
  void SetValue(const char* section, const char* key, const char* value);
  /// @}
  /// Stored as padded Base64 text. Data whose text would not fit a string
  /// (more than 1,610,612,733 bytes) is not stored: the model stays as it was.
  void SetValue(const char* section, const char* key, const unsigned char* data, unsigned long length);

  /// Replaces the file with the whole model; 0 when it cannot be created, or
  /// when writing or closing it fails (a full disk): the file may then be cut
  /// short, and the model is unchanged. Names and values are written as they
  /// are: one holding a line break reads back as further lines, so check
  /// untrusted text first.
  /// Each section is written as its header followed by its keys, sections and
  /// keys in the reverse of the maps' enumeration (newest first), so a file
  /// read and written again keeps its order.
  int Write(const char* path) const;

private:
  CMapStringToPtr m_sections;
};

class CRegistry;

/// Named integer and text options, either in a profile (INI) file through the
/// platform's profile functions or below a registry key of the current user.
/// Each value operation goes straight to the file or the registry.
///
/// Without a section, INI mode uses the section "Default" and registry mode the
/// root key itself; a section in registry mode is a subkey directly below the
/// root key. On a closed store the setters do nothing and the getters give the
/// default. An open store is not copied: a copy shares its keys.
class KORVEX_API COptionStorage {
public:
  /// A closed store.
  COptionStorage();
  /// @{
  /// Copies the store's state; the copy shares the source's keys.
  COptionStorage(const COptionStorage& other);
  COptionStorage& operator=(const COptionStorage& other);
  /// @}
  /// Closes the store.
  virtual ~COptionStorage();

  /// Each open fails with 0 on a store already open. The path is used as given;
  /// an empty one leaves the store closed.
  int OpenIniFile(const char* path);
  /// `fileName` (NULL: "setup.ini") in `subfolder` (NULL: none) of the user's
  /// application-data folder. The subfolder is not created.
  int OpenIniFile(const char* subfolder, const char* fileName);
  /// `HKEY_CURRENT_USER\SOFTWARE\first\second`, created as needed; a NULL name is left out.
  int OpenRegistry(const char* first, const char* second);
  /// `registry` nonzero: OpenRegistry(first, second), else OpenIniFile(first, second).
  int Open(const char* first, const char* second, int registry);
  /// Closes the store; it may be opened again.
  void Close();

  /// NULL or empty selects no section. In registry mode the section's key is
  /// created; if that fails the previous section stays, with 0.
  int SetSection(const char* name);

  /// Registry mode: REG_DWORD.
  void SetValue(const char* name, int value);
  /// Registry mode: REG_SZ.
  void SetValue(const char* name, const char* value);
  /// Registry mode: the default unless the value is a REG_DWORD.
  int GetValue(const char* name, int defaultValue) const;
  /// At most 4095 bytes of text; in registry mode a longer text gives the default.
  CString GetValue(const char* name, const char* defaultValue) const;

private:
  CString m_path;
  CString m_section;
  CRegistry* m_current;
  CRegistry* m_root;
};

/// @}

#endif
