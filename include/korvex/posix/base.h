#ifndef KORVEX_POSIX_BASE_H
#define KORVEX_POSIX_BASE_H

/// @file
/// Win32 base types, error codes and the last error.
#include <stddef.h>
#include <stdint.h>

#include "korvex/export.h"

/// @defgroup layer_base Base types and errors
/// @ingroup layer
/// Win32 base types with Win32 widths: DWORD and LONG are 32-bit on every target,
/// handles are opaque pointers.
/// @{

/// @name Base types
/// @{

/// As in Win32, at Win32's widths.
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef uint16_t WCHAR;
typedef unsigned short USHORT;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const WCHAR* LPCWSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BOOL* LPBOOL;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int32_t HRESULT;
/// @}

/// @name Handles
/// @{

/// Opaque handles, as in Win32.
typedef void* HANDLE;
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
/// @}

/// Accepted and ignored wherever a call takes it.
typedef struct _SECURITY_ATTRIBUTES {
  /// @{
  /// As in Win32.
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
  /// @}
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
/// @typedef LPSECURITY_ATTRIBUTES
/// A pointer to SECURITY_ATTRIBUTES.

/// A time in 100 ns ticks since 1601, as in Win32.
typedef struct _FILETIME {
  /// @{
  /// The low and high 32 bits.
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
  /// @}
} FILETIME, *LPFILETIME;
/// @typedef LPFILETIME
/// A pointer to FILETIME.

/// @name Constants
/// @{

/// As in Win32.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)((WORD)(i)))
#define IS_INTRESOURCE(p) ((((uintptr_t)(p)) >> 16) == 0)
/// @}

/// @name Error codes
/// @{

/// The Win32 errors this layer returns or sets as the last error.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_DISK_FULL 112L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_OPERATION_ABORTED 995L
#define ERROR_KEY_DELETED 1018L
#define ERROR_IO_DEVICE 1117L
#define ERROR_BADDB 1009L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_BUSY 170L
#define ERROR_FILE_TOO_LARGE 223L
/// @}

/// @name Calling conventions
/// @{

/// Empty: calling conventions mean nothing here; the names stay so that
/// declarations read as they do on Windows.
#ifndef WINAPI
#define WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK
#endif
/// @}

extern "C" {
/// The calling thread's last error.
KORVEX_API DWORD GetLastError(void);
/// Sets the calling thread's last error.
KORVEX_API void SetLastError(DWORD error);
}

/// @}

#endif
