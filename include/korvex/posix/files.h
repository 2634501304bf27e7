#ifndef KORVEX_POSIX_FILES_H
#define KORVEX_POSIX_FILES_H

/// Files and folders. Every backslash in a path is a separator; names compare
/// case-sensitively, as the file system has them.
#include <stdio.h>

#include "korvex/posix/base.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define _SH_DENYNO 0x40

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

typedef struct _WIN32_FIND_DATAA {
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
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

extern "C" {

/// Wildcards ("*", "?") are matched in the last component only, by Win32 rules:
/// "?" also matches nothing at a dot or at the end of a name, and a "." before
/// nothing but wildcards also matches the end of a name, so "*.*" matches every
/// name. A last component without wildcards finds that one entry. File times are
/// 100 ns ticks since 1601; POSIX keeps no creation time, so the last write
/// time stands in for it. cAlternateFileName stays empty.
KORVEX_API HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
KORVEX_API BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData);
KORVEX_API BOOL FindClose(HANDLE findFile);

/// Directory, read-only (no write permission for the owner), hidden (a name that
/// begins with a dot); FILE_ATTRIBUTE_NORMAL when none of them applies.
KORVEX_API DWORD GetFileAttributesA(LPCSTR fileName);
/// The security attributes are ignored; the folder gets the process's umask.
KORVEX_API BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);

/// The runtime's stream calls: fopen with a Win32 path (the sharing mode is
/// ignored: POSIX files are always shared), and 64-bit positions.
KORVEX_API FILE* _fsopen(const char* fileName, const char* mode, int shareFlag);
KORVEX_API long long _ftelli64(FILE* stream);
KORVEX_API int _fseeki64(FILE* stream, long long offset, int origin);

/// Drive ("X:" at the start only), folder (through the last `"\"` or "/"), name,
/// extension (from the last dot of the name). A part too long for its buffer
/// (_MAX_DRIVE, _MAX_DIR, _MAX_FNAME, _MAX_EXT) is cut to the buffer less its
/// terminator, as the products' original runtime did (today's Windows runtimes
/// empty every output instead); NULL outputs are skipped.
KORVEX_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
}

#endif
