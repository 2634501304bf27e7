#ifndef KORVEX_POSIX_MODULES_H
#define KORVEX_POSIX_MODULES_H

/// @file
/// Modules: loading, exports, file names.
#include "korvex/posix/base.h"

/// @defgroup layer_modules Modules
/// @ingroup layer
/// Loading modules, their exports, and the running program's path.
/// @windiff Modules are shared objects loaded with dlopen; a module handle is
/// the handle dlopen gives. Every backslash in a module path is a separator.
/// @{

/// @name Module errors
/// @{

/// As in Win32.
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BAD_EXE_FORMAT 193L
/// @}

/// The generic export pointer; cast it to the export's own type before calling.
typedef INT_PTR(WINAPI* FARPROC)(void);

/// What a module's DllGetVersion export fills; cbSize is set by the caller.
typedef struct _DllVersionInfo {
  /// @{
  /// As in Win32.
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
  /// @}
} DLLVERSIONINFO;
/// The type of a module's DllGetVersion export.
typedef HRESULT(CALLBACK* DLLGETVERSIONPROC)(DLLVERSIONINFO*);

extern "C" {

/// Loads the module at that path (a name without a folder is searched as dlopen
/// does) and takes a reference on it. NULL on failure: ERROR_MOD_NOT_FOUND when
/// no file is there, ERROR_BAD_EXE_FORMAT when the file is no loadable module.
KORVEX_API HMODULE LoadLibraryA(LPCSTR fileName);
/// Drops one reference; the module is unloaded with its last one.
KORVEX_API BOOL FreeLibrary(HMODULE module);
/// The export of that name (NULL module: the program's own); NULL with
/// ERROR_PROC_NOT_FOUND when there is none.
/// @windiff Exports by ordinal do not exist.
KORVEX_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

/// NULL gives the handle of the executable's module; a name gives the handle of
/// that module when it is already loaded, else NULL.
KORVEX_API HMODULE GetModuleHandleA(LPCSTR moduleName);
/// The full path of the module's file (NULL module: the running program, from
/// /proc/self/exe), terminated; returns its length. A buffer too small gets the
/// path cut to size - 1 characters, and the result is size with
/// ERROR_INSUFFICIENT_BUFFER. 0 on failure (ERROR_MOD_NOT_FOUND).
KORVEX_API DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
}

/// @}

#endif
