#ifndef KORVEX_POSIX_REGISTRY_H
#define KORVEX_POSIX_REGISTRY_H

/// @file
/// The registry.
#include "korvex/posix/base.h"

/// @defgroup layer_registry Registry
/// @ingroup layer
/// The registry calls, on a store of SQLite databases.
///
/// @windiff The registry is kept in one SQLite database per hive:
/// `HKEY_CURRENT_USER` in `$KORVEX_REGISTRY_DIR/user.db`, else
/// `$XDG_CONFIG_HOME/korvex/user.db` (`$XDG_CONFIG_HOME` defaults to
/// `~/.config`); the folder is made 0700 and the hive's files 0600: settings
/// often hold secrets. `HKEY_LOCAL_MACHINE` in `$KORVEX_REGISTRY_DIR/machine.db`,
/// else `/etc/korvex/machine.db`; kept with a rollback journal, so every user
/// who may read the file reads the hive. Those who may write its folder write
/// a private working copy (`machine.db-work`) and publish it as `machine.db`
/// after every write; everyone else reads that copy without taking a lock. A hive this process may not write
/// refuses writes, and opening with a write right, with ERROR_ACCESS_DENIED.
///
/// Beside each hive, `<hive>-writes` counts the writes begun and ended, so that an
/// enumeration learns without a lock that nothing changed and a change wait in
/// any process when to look again; like SQLite's files it must stay while the
/// hive is in use. The counts a writer killed between them leaves apart are
/// evened by the next process that may write the hive and finds no other
/// process holding it open for writing.
///
/// @windiff A hive whose folder others could swap it in (a link, a
/// folder of another user than the caller or root, or one others may write
/// without the sticky bit) is refused with ERROR_ACCESS_DENIED before anything
/// is made there; so is a hive this user may not read. Every file beside a
/// hive (`user.db` and its `-wal`, `-shm`, `-journal`, `-writes`; `machine.db`
/// and its `-work`, `-work-journal`, `-writes`) must be a regular file of the
/// user's or root's, never a link; the layer makes each one itself,
/// exclusively and with its final mode. A change signal (`-writes`) of the
/// wrong size gives ERROR_BADDB, and one that cannot be written refuses every
/// write rather than letting it go unseen by other processes. No lock that
/// another user may take is one a writer waits for, and every wait for a lock
/// ends, after about ten seconds, in ERROR_BUSY.
///
/// Every call is one transaction (or a step of one: see @ref layer_transactions);
/// several threads and processes may use a hive at once. Key and value names
/// keep the case they were written with.
/// Subkeys enumerate in name order; values enumerate in name order too (Win32
/// leaves their order open). Predefined keys are known by their low 32 bits,
/// as on 64-bit Windows.
///
/// Key and value names compare case-insensitively as Windows compares them, by
/// each character's simple uppercase mapping in every script (`Ключ` is `ключ`,
/// `σ` and `ς` are `Σ`).
///
/// @windiff Names are UTF-8; a name that is not folds its ASCII letters only
/// and equals no UTF-8 name.
///
/// @windiff A hive of the previous version (which folded ASCII letters only)
/// is brought up to date by the first process that may write it, in one
/// transaction; until then it is read as it stands. Names that compared apart
/// then and compare equal now (`Ключ` and `ключ` below one key) all stay: the
/// key made first, and the value whose name comes first byte by byte, keeps its
/// name, and each of the others is renamed to the first free of `name (2)`,
/// `name (3)`, ...
///
/// @windiff Failures of the store itself give ERROR_BADDB (not a
/// database, corrupt), ERROR_CANTOPEN (cannot be opened or created),
/// ERROR_CANTREAD / ERROR_CANTWRITE (I/O, read-only, or a value larger than
/// the store holds, about 1 GB, refused before anything is written) or
/// ERROR_BUSY (held by another process past the busy timeout).
///
/// @windiff HKEY_CLASSES_ROOT and HKEY_USERS are refused with
/// ERROR_INVALID_HANDLE.
///
/// @windiff Creating a subkey needs KEY_CREATE_SUB_KEY on the
/// parent handle.
///
/// @windiff REG_OPTION_VOLATILE is refused with
/// ERROR_INVALID_PARAMETER: every key persists.
///
/// @windiff Keys have no class, no write time and no security
/// descriptor: those come back empty or zero.
/// @{

/// Access rights asked for a key (KEY_*).
typedef DWORD REGSAM;
/// A registry call's result: ERROR_SUCCESS or a Win32 error.
typedef LONG LSTATUS;

/// @name Predefined keys
/// @{

/// As in Win32; only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE open.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
/// @}

/// @name Access rights
/// @{

/// As in Win32.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define DELETE 0x00010000L
/// @}

/// @name Registry views
/// @{

/// Accepted and ignored.
/// @windiff Accepted and ignored; there is
/// one view of the registry.
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
/// @}

/// @name Value types
/// @{

/// As in Win32.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_MULTI_SZ 7
#define REG_QWORD 11
/// @}

/// @name RegGetValueA flags
/// @{

/// RegGetValueA's type filter and flags, as in Win32.
#define RRF_RT_REG_NONE 0x00000001
#define RRF_RT_REG_SZ 0x00000002
#define RRF_RT_REG_EXPAND_SZ 0x00000004
#define RRF_RT_REG_BINARY 0x00000008
#define RRF_RT_REG_DWORD 0x00000010
#define RRF_RT_REG_MULTI_SZ 0x00000020
#define RRF_RT_REG_QWORD 0x00000040
#define RRF_RT_DWORD (RRF_RT_REG_BINARY | RRF_RT_REG_DWORD)
#define RRF_RT_QWORD (RRF_RT_REG_BINARY | RRF_RT_REG_QWORD)
#define RRF_RT_ANY 0x0000FFFF
#define RRF_SUBKEY_WOW6464KEY 0x00010000
#define RRF_SUBKEY_WOW6432KEY 0x00020000
#define RRF_NOEXPAND 0x10000000
#define RRF_ZEROONFAILURE 0x20000000
/// @}

/// @name Options and dispositions
/// @{

/// As in Win32; REG_OPTION_VOLATILE is refused.
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L
/// @}

/// @name Registry errors
/// @{

/// As in Win32.
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#define ERROR_INVALID_DATA 13L
#define ERROR_DATATYPE_MISMATCH 1629L
#define ERROR_UNSUPPORTED_TYPE 1630L
/// @}

extern "C" {

/// A NULL or empty subkey opens a new handle to hKey's own key. Missing keys on
/// the path are created (hKey needs KEY_CREATE_SUB_KEY for that).
KORVEX_API LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                   REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                   LPDWORD lpdwDisposition);
/// Opens an existing key.
KORVEX_API LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
/// Closes a key handle.
KORVEX_API LSTATUS RegCloseKey(HKEY hKey);

/// Sets a value's type and data.
KORVEX_API LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                  DWORD cbData);
/// A value's type and data.
KORVEX_API LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                    LPDWORD lpcbData);
/// Deletes a value.
KORVEX_API LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

/// The subkey name at that index; ERROR_MORE_DATA when it does not fit.
KORVEX_API LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
/// The same, with the name's length.
KORVEX_API LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                 LPSTR lpClass, LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime);
/// The value at that index: name, type, data.
KORVEX_API LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                 LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

/// Deletes a key without subkeys (ERROR_ACCESS_DENIED otherwise) and its values.
KORVEX_API LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
/// The same; the view bits are ignored.
KORVEX_API LSTATUS RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
/// Deletes a key with everything below it.
KORVEX_API LSTATUS SHDeleteKeyA(HKEY hKey, LPCSTR pszSubKey);
/// The same; a NULL subkey empties hKey itself (its subkeys and values) and keeps it.
KORVEX_API LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
/// Linux only: the file of a root's hive (HKEY_CURRENT_USER or
/// HKEY_LOCAL_MACHINE) and, when one is found, what keeps the registry from
/// using it, for a message after a refusal ("/etc/korvex/machine.db: /etc/korvex:
/// Permission denied"). Writes at most size - 1 characters and a terminator;
/// returns the length of the whole text, 0 for any other key.
KORVEX_API DWORD KorvexDescribeHive(HKEY root, LPSTR text, DWORD size);

/// Copies the keys and values below `hKeySrc\lpSubKey` into hKeyDest, over what is
/// there. A copy between the two hives reads the source in one transaction and
/// writes the destination in another.
KORVEX_API LSTATUS RegCopyTreeA(HKEY hKeySrc, LPCSTR lpSubKey, HKEY hKeyDest);

/// lpcbMaxValueLen is the longest data as RegQueryValueExA hands it out: text
/// in bytes of the ANSI code page, enough for a buffer of the ANSI calls.
/// @windiff lpcbMaxValueLen counts text in bytes of the
/// ANSI code page; Windows keeps text in UTF-16 and reports its size in those
/// bytes, for single-byte code pages twice as much.
KORVEX_API LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                    LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                    LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                    LPDWORD lpcbSecurityDescriptor, LPFILETIME lpftLastWriteTime);
/// REG_EXPAND_SZ data comes back expanded (ExpandEnvironmentStringsA) as REG_SZ
/// unless RRF_NOEXPAND is given.
KORVEX_API LSTATUS RegGetValueA(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                                LPVOID pvData, LPDWORD pcbData);
/// Creates the subkey when it is missing.
KORVEX_API LSTATUS RegSetKeyValueA(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValueName, DWORD dwType, LPCVOID lpData,
                                   DWORD cbData);
/// Deletes a value of a subkey.
KORVEX_API LSTATUS RegDeleteKeyValueA(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValueName);
/// The default value of a subkey, as text.
KORVEX_API LSTATUS RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData);
/// Sets the default value of a subkey (REG_SZ only), creating the subkey.
KORVEX_API LSTATUS RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData);
/// A new handle to HKEY_CURRENT_USER.
KORVEX_API LSTATUS RegOpenCurrentUser(REGSAM samDesired, PHKEY phkResult);
/// Makes the hive's committed changes durable on disk.
KORVEX_API LSTATUS RegFlushKey(HKEY hKey);
}

/// @}

#endif
