#ifndef KORVEX_POSIX_FILES_H
#define KORVEX_POSIX_FILES_H

/// @file
/// Files and folders.
#include <stdio.h>

#include "korvex/posix/base.h"

/// @defgroup layer_files Files and folders
/// @ingroup layer
/// Finding files, attributes, folders, the runtime's stream and path calls.
/// @windiff Every backslash in a path is a separator, in
/// this and every other call of the layer that takes a path (profile files,
/// modules, ShellExecuteA), so the library's backslash-joined paths reach the
/// right file.
/// @windiff File names compare case-sensitively, as the file system has them.
/// @{

/// @name File attributes
/// @{

/// As in Win32.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
/// @}

/// _fsopen's sharing flag: accepted and ignored.
#define _SH_DENYNO 0x40

/// @name Path part sizes
/// @{

/// The buffer sizes of _splitpath, as in the runtime.
#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256
/// @}

/// What FindFirstFileA and FindNextFileA fill.
typedef struct _WIN32_FIND_DATAA {
  /// @{
  /// As in Win32; see FindFirstFileA for what POSIX lacks.
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
  /// @}
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
/// @typedef PWIN32_FIND_DATAA
/// A pointer to WIN32_FIND_DATAA.
/// @typedef LPWIN32_FIND_DATAA
/// A pointer to WIN32_FIND_DATAA.

extern "C" {

/// Wildcards ("*", "?") are matched in the last component only, by Win32 rules:
/// "?" also matches nothing at a dot or at the end of a name, and a "." before
/// nothing but wildcards also matches the end of a name, so "*.*" matches every
/// name. A last component without wildcards finds that one entry. File times are
/// 100 ns ticks since 1601.
/// @windiff POSIX keeps no creation time, so the last write
/// time stands in for it. cAlternateFileName stays empty.
KORVEX_API HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
/// The next match of the search.
KORVEX_API BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData);
/// Ends the search.
KORVEX_API BOOL FindClose(HANDLE findFile);

/// Directory, read-only, hidden; FILE_ATTRIBUTE_NORMAL when none of them applies.
/// @windiff Read-only is no write permission for the
/// owner, hidden a name that begins with a dot.
KORVEX_API DWORD GetFileAttributesA(LPCSTR fileName);
/// Creates one folder.
/// @windiff The security attributes are ignored; the folder
/// gets the process's umask.
KORVEX_API BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);

/// @name Streams
/// @{

/// The runtime's stream calls: fopen with a Win32 path, and 64-bit positions.
/// @windiff The sharing mode is ignored; POSIX files are always shared.
KORVEX_API FILE* _fsopen(const char* fileName, const char* mode, int shareFlag);
KORVEX_API long long _ftelli64(FILE* stream);
KORVEX_API int _fseeki64(FILE* stream, long long offset, int origin);
/// @}

/// Drive ("X:" at the start only), folder (through the last backslash or "/"), name,
/// extension (from the last dot of the name). A part too long for its buffer
/// (_MAX_DRIVE, _MAX_DIR, _MAX_FNAME, _MAX_EXT) is cut to the buffer less its
/// terminator; NULL outputs are skipped.
/// @windiff A part too long for its buffer is cut, as the
/// products' original runtime did; today's Windows runtimes empty every
/// output instead.
KORVEX_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
}

/// @}

#endif
