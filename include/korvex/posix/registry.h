#ifndef KORVEX_POSIX_REGISTRY_H
#define KORVEX_POSIX_REGISTRY_H

// The registry, kept in one SQLite database per hive:
//   HKEY_CURRENT_USER   $KORVEX_REGISTRY_DIR/user.db, else $XDG_CONFIG_HOME/korvex/user.db
//                       ($XDG_CONFIG_HOME defaults to ~/.config)
//   HKEY_LOCAL_MACHINE  $KORVEX_REGISTRY_DIR/machine.db, else /etc/korvex/machine.db
// HKEY_CLASSES_ROOT and HKEY_USERS are refused with ERROR_INVALID_HANDLE.
// Every call is one transaction; several threads and processes may use a hive at
// once. Key and value names compare case-insensitively (ASCII) and keep the case
// they were written with. Subkeys enumerate in name order; values enumerate in
// name order too (Win32 leaves their order open). Failures of the store itself
// give ERROR_BADDB (not a database, corrupt), ERROR_CANTOPEN (cannot be opened or
// created), ERROR_CANTREAD / ERROR_CANTWRITE (I/O, read-only) or ERROR_BUSY (held
// by another process past the busy timeout).
#include "korvex/posix/base.h"

typedef DWORD REGSAM;
typedef LONG LSTATUS;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#ifndef ERROR_BAD_PATHNAME
#  define ERROR_BAD_PATHNAME 161L
#endif

extern "C" {

// A NULL or empty subkey opens a new handle to hKey's own key. Missing keys on
// the path are created (hKey needs KEY_CREATE_SUB_KEY for that).
KORVEX_API LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                   REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                   PHKEY phkResult, LPDWORD lpdwDisposition);
KORVEX_API LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
KORVEX_API LSTATUS RegCloseKey(HKEY hKey);

KORVEX_API LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                  DWORD cbData);
KORVEX_API LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                    LPDWORD lpcbData);
KORVEX_API LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

KORVEX_API LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
// Keys carry no class and no write time: the class comes back empty, the time zero.
KORVEX_API LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                 LPSTR lpClass, LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime);
KORVEX_API LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                 LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

// Deletes a key without subkeys (ERROR_ACCESS_DENIED otherwise) and its values.
KORVEX_API LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes a key with everything below it.
KORVEX_API LSTATUS SHDeleteKeyA(HKEY hKey, LPCSTR pszSubKey);

}

#endif
