#ifndef KORVEX_REGISTRY_H
#define KORVEX_REGISTRY_H

/// @file
/// The registry key wrapper and the change watchers.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

/// @defgroup registry Registry keys and change watchers
/// A registry key wrapper (open or create, values of three types, enumeration,
/// deletion, recursive copy and rename), and watchers that tell a window when a
/// registry key or a folder changes.
/// @{

/// One owned registry key. Each operation is one or two registry calls; every
/// int result is 1 for success and 0 for failure, and the platform's error code
/// is not kept. A NULL or empty value name addresses the key's default value.
class KORVEX_API CRegistry {
public:
  /// No key held.
  CRegistry();
  /// Copies share the handle: all but one must Detach it before destruction.
  CRegistry(const CRegistry& other);
  /// Shares `other`'s handle, as the copy constructor does; a key held before is not closed.
  CRegistry& operator=(const CRegistry& other);
  /// Closes the held key.
  virtual ~CRegistry();

  /// Takes `key` only when none is held and `key` is not NULL.
  int Attach(HKEY key);
  /// Gives the held key away (NULL if none) without closing it.
  HKEY Detach();

  /// @{
  /// Opens `name` below `parent` with the `access` rights (KEY_*).
  /// With `create` nonzero the key and any missing keys on the way are created;
  /// otherwise a missing key fails. A key held before is replaced, not closed:
  /// Close it first. A failure leaves the object as it was.
  int Open(HKEY parent, const char* name, int create, unsigned long access);
  int Open(CRegistry* parent, const char* name, int create, unsigned long access);
  /// @}
  /// Closes the held key, if any.
  void Close();
  /// The held key, or NULL; also NULL when called through a null pointer.
  HKEY GetSafeHkey() const;

  /// REG_DWORD.
  int SetValue(const char* name, unsigned long number);
  /// REG_SZ, stored without a terminating zero byte.
  int SetValue(const char* name, const char* text);
  /// REG_BINARY.
  int SetValue(const char* name, const unsigned char* data, unsigned long length);

  /// Each query fails when the value has another type than the one asked for.
  int QueryValue(const char* name, unsigned long& number) const;
  /// At most size - 1 bytes of text, always terminated on success.
  int QueryValue(const char* name, char* buffer, unsigned long size) const;
  /// `size`: the buffer's size in, the bytes returned out.
  int QueryValue(const char* name, unsigned char* data, unsigned long* size) const;
  /// A text of at most 32767 bytes, else `defaultValue`.
  /// @{
  CString GetValue(const char* name, const CString& defaultValue) const;
  unsigned long GetValue(const char* name, unsigned long defaultValue) const;
  /// @}

  /// @{
  /// Names by index, from 0 upward until the first 0 (the end or any failure).
  int EnumKey(unsigned long index, char* buffer, unsigned long size) const;
  int EnumValue(unsigned long index, char* buffer, unsigned long size) const;
  /// @}

  /// Deletes the value.
  int DeleteValue(const char* name);
  /// 1 when no value is left; stops at the first deletion that fails, with 0.
  int DeleteAllValues();
  /// `leafOnly` nonzero deletes only a subkey without subkeys of its own; 0
  /// deletes the whole subtree.
  int DeleteKey(const char* name, int leafOnly);
  /// Copies the subkey's tree to `newName` (merging into an existing key) and
  /// then deletes the old one. Refused with 0, before anything changes, when
  /// `newName` is `oldName` or lies below it. A failed copy leaves the old
  /// subkey whole and what was copied so far under the new name.
  int RenameKey(const char* oldName, const char* newName);

private:
  HKEY m_key;
};

/// @}

/// @addtogroup registry
/// @par Change watchers
/// One worker thread per watching object that sends the
/// caller's message (wParam 0, lParam 0) to the caller's window with
/// SendMessageA after each change, while the window exists. The message carries
/// no detail, and one message may stand for several changes.
///
/// EndWatch (also run by the destructor) cuts the worker off without waiting for
/// the window, so the window's own handler may call it; once it returns, the
/// worker sends nothing more and no longer reads the object. The object must
/// not move while it watches, and a watching object is not copied (the copy
/// would share its worker). Assignment ends the target's own watch first.

/// @{

/// Watches an open registry key, which stays the caller's: keep it open until
/// EndWatch has returned. A failed wait (the key deleted or closed) ends the
/// worker quietly; the object still counts as watching until EndWatch.
class KORVEX_API CRegistryWatcher {
public:
  /// Not watching.
  CRegistryWatcher();
  /// Copies the settings of a watcher that is not watching (see the group's notes).
  CRegistryWatcher(const CRegistryWatcher& other);
  /// Ends the watch.
  virtual ~CRegistryWatcher();
  /// Ends this watcher's own watch, then copies the settings.
  CRegistryWatcher& operator=(const CRegistryWatcher& other);

  /// `filter` takes RegNotifyChangeKeyValue's REG_NOTIFY_CHANGE_* bits. 0 when
  /// already watching (nothing changes) or when no worker can be started.
  int BeginWatch(HKEY key, int watchSubtree, HWND window, unsigned int message, unsigned long filter);
  /// Stops the worker; nothing when not watching.
  void EndWatch();

protected:
  /// The worker's body.
  static DWORD WINAPI ThreadProc(LPVOID watcher);

  HKEY m_hKey;               ///< The watched key (the caller's).
  HWND m_hWnd;               ///< The window told of changes.
  unsigned int m_nMessage;   ///< The message sent to it.
  unsigned long m_dwFilter;  ///< REG_NOTIFY_CHANGE_* bits.
  int m_bWatchSubtree;       ///< Nonzero: the whole subtree.
  HANDLE m_hThread;          ///< The worker; NULL when not watching.
};

/// Watches a folder through a change notification handle of its own.
class KORVEX_API CFolderWatcher {
public:
  /// Not watching.
  CFolderWatcher();
  /// Copies the settings of a watcher that is not watching (see the group's notes).
  CFolderWatcher(const CFolderWatcher& other);
  /// Ends the watch.
  virtual ~CFolderWatcher();
  /// Ends this watcher's own watch, then copies the settings.
  CFolderWatcher& operator=(const CFolderWatcher& other);

  /// `filter` takes FindFirstChangeNotificationA's FILE_NOTIFY_CHANGE_* bits. 0
  /// when already watching (nothing changes), when the folder cannot be watched
  /// or when no worker can be started.
  int BeginWatch(const char* path, int watchSubtree, HWND window, unsigned int message, unsigned long filter);
  /// Stops the worker and closes the notification handle; nothing when not watching.
  void EndWatch();

protected:
  /// The worker's body.
  static DWORD WINAPI ThreadProc(LPVOID watcher);

  HWND m_hWnd;              ///< The window told of changes.
  unsigned int m_nMessage;  ///< The message sent to it.
  HANDLE m_hChange;         ///< INVALID_HANDLE_VALUE when not watching.
  HANDLE m_hThread;         ///< The worker; NULL when not watching.
};

/// @}

#endif
