#ifndef KORVEX_POSIX_SHELL_H
#define KORVEX_POSIX_SHELL_H

#include "korvex/posix/base.h"

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define CSIDL_APPDATA 0x001A
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

extern "C" {

// CSIDL_APPDATA is $XDG_CONFIG_HOME (an absolute path), else ~/.config. A missing
// folder gives S_FALSE (the path is filled all the same) unless CSIDL_FLAG_CREATE
// is set, which creates it with its parents. Other folders give E_INVALIDARG.
// pszPath holds MAX_PATH characters.
KORVEX_API HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);

}

#endif
