#ifndef KORVEX_PATHS_H
#define KORVEX_PATHS_H

/// @file
/// Path composition and simple file-system queries.

/// @defgroup paths Paths and files
/// Windows-style paths (backslash separators; `"C:\dir"` and `"\\server\share"`) and
/// simple file-system queries. Nothing is kept between calls.
/// @{
#include "korvex/export.h"
#include "korvex/types.h"

/// 1 when FindFirstFileA finds something at `path`: a file, a folder, or any
/// match of a pattern with wildcards.
KORVEX_API int DoesFileExist(const char* path);
/// 1 when `path` is an existing folder.
KORVEX_API int DoesFolderExist(const char* path);
/// 1 when something (a file counts too) exists at `path` afterwards; creates
/// only the last level.
KORVEX_API int EnsureFolderExist(const char* path);

/// Joins with exactly one backslash between; 0, with `path` unchanged, when
/// `path` is empty or `name` is NULL.
KORVEX_API int AppendPath(CString& path, const char* name);
/// Joins an absolute `path` (`"\\..."` or a backslash as third character) with `name`,
/// which may be a drive path, a rooted path or a relative path whose "." and ".."
/// components are resolved. 0, with `path` unchanged, when `name` is NULL or
/// `path` is not absolute. ".." goes on cutting past the root (`"C:\a"` with
/// ".." gives "C:"): check untrusted names first.
KORVEX_API int AppendPathEx(CString& path, const char* name);

/// The long name of the last component of `path`, without its folder, into
/// `longName` (room for MAX_PATH characters). On failure 0, and `longName` gets
/// `path` itself, cut to fit.
KORVEX_API int GetLongFileName(char* longName, const char* path);
/// `path` with its file name (between the folder and the extension) replaced
/// by `fname`; the extension of `path` stays.
KORVEX_API void ReplaceFnameOfPath(CString& result, const char* path, const char* fname);
/// "Report (12)" gives `base` "Report" and `number` 12 (modulo 2^32), result 1.
/// Otherwise 0: `base` holds `name` (untouched for a NULL or empty name), and
/// `number` is not meaningful.
KORVEX_API int SplitNameForSaveAs(const char* name, CString& base, unsigned int& number);
/// Calls `callback` with the name (without ".ext") of each entry of `folder`
/// that matches "*.ext", until it returns 0. 1 when at least one entry matched.
/// The name is valid only during the call.
KORVEX_API int EnumFile(const char* folder, const char* ext, int (*callback)(const char* name, long data), long data);

/// @}

#endif
