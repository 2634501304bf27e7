#ifndef KORVEX_POSIX_SHELL_H
#define KORVEX_POSIX_SHELL_H

/// @file
/// Starting programs, and the user's folders.
#include "korvex/posix/base.h"

/// @defgroup layer_shell Shell
/// @ingroup layer
/// ShellExecuteA and SHGetFolderPathA.
/// @{

/// @name Results
/// @{

/// As in Win32.
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
/// @}

/// @name Show commands
/// @{

/// Accepted and ignored.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
/// @}

/// @name ShellExecuteA failures
/// @{

/// What ShellExecuteA returns on failure; success is any value above 32.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11L
#endif
#define SE_ERR_NOASSOC 31
/// @}

/// @name Folders
/// @{

/// SHGetFolderPathA's folder and flags, as in Win32.
#define CSIDL_APPDATA 0x001A
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0
/// @}

extern "C" {

/// Starts a program with the verb "open" (or none; any other verb gives
/// SE_ERR_NOASSOC) and returns at once, without waiting for it. A file without
/// a folder is searched in $PATH; a relative one is taken from the working
/// folder, `directory` when given, else the caller's. A value above 32 on
/// success; otherwise, also as the last error, SE_ERR_FNF (no such file),
/// SE_ERR_PNF (no such working folder), SE_ERR_ACCESSDENIED (not executable),
/// ERROR_BAD_FORMAT (not a program the system can run) or SE_ERR_OOM. The
/// window and the show command are ignored.
///
/// @windiff ShellExecuteA starts programs only, and no shell ever sees the
/// parameter text: it is split into arguments by Windows command-line rules
/// (spaces and tabs separate, quotes group, backslashes escape quotes only).
/// The program is detached: the caller need not wait for it, and no zombie of
/// it stays (this layer reaps it on a thread of its own; a wait of the
/// caller's for any child may still report it first); it runs in a process
/// group of its own, so the terminal's Ctrl-C for the caller does not reach
/// it, with its standard streams on /dev/null and no other descriptor of the
/// caller.
KORVEX_API HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                   int showCmd);

/// The user's folder of that kind.
/// A missing folder gives S_FALSE (the path is filled all the same) unless
/// CSIDL_FLAG_CREATE is set, which creates it with its parents. pszPath holds
/// MAX_PATH characters.
///
/// @windiff CSIDL_APPDATA is `$XDG_CONFIG_HOME` (an absolute
/// path), else `~/.config`. Other folders give E_INVALIDARG.
KORVEX_API HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);
}

/// @}

#endif
