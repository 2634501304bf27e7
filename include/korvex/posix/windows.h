#ifndef KORVEX_POSIX_WINDOWS_H
#define KORVEX_POSIX_WINDOWS_H

/// @file
/// Window classes, windows, message queues and timers.
#include "korvex/posix/base.h"

/// @defgroup layer_windows Windows, messages and timers
/// @ingroup layer
/// Window classes, windows, message queues and timers. Every thread gets a
/// message queue on its first call; a window belongs to the thread that created
/// it and its procedure runs on that thread only. Window handles count up and are
/// not reused while the process lives.
///
/// @windiff Windows are never shown: there is no display, no input and no
/// painting. Windows exist for their procedures, messages and timers.
/// @{

/// @name Window types
/// @{

/// As in Win32; icons, cursors, brushes and menus are accepted and ignored.
typedef WORD ATOM;
typedef struct HICON__* HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__* HBRUSH;
typedef struct HMENU__* HMENU;
/// @}

/// A window procedure.
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
/// A timer's callback.
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
/// SendMessageCallbackA's callback, given the message's result.
typedef void(CALLBACK* SENDASYNCPROC)(HWND, UINT, ULONG_PTR, LRESULT);

/// A window class, for RegisterClassA.
typedef struct tagWNDCLASSA {
  /// @{
  /// As in Win32.
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  /// @}
} WNDCLASSA, *LPWNDCLASSA;
/// @typedef LPWNDCLASSA
/// A pointer to WNDCLASSA.

/// What WM_NCCREATE and WM_CREATE carry in lParam.
typedef struct tagCREATESTRUCTA {
  /// @{
  /// As in Win32.
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
  /// @}
} CREATESTRUCTA, *LPCREATESTRUCTA;
/// @typedef LPCREATESTRUCTA
/// A pointer to CREATESTRUCTA.

/// A point; messages carry one.
typedef struct tagPOINT {
  /// @{
  /// The coordinates.
  LONG x;
  LONG y;
  /// @}
} POINT;

/// A message, as GetMessageA and PeekMessageA fill it.
typedef struct tagMSG {
  /// @{
  /// As in Win32.
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
  /// @}
} MSG, *LPMSG;
/// @typedef LPMSG
/// A pointer to MSG.

/// @name Messages
/// @{

/// As in Win32.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000
/// @}

/// @name PeekMessageA options
/// @{

/// As in Win32.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002
/// @}

/// @name What MsgWaitForMultipleObjectsEx waits for
/// No keyboard, mouse, paint or hot-key input exists here, so their bits never wake it.
/// @{

/// As in Win32.
#define QS_POSTMESSAGE 0x0008
#define QS_TIMER 0x0010
#define QS_SENDMESSAGE 0x0040
#define QS_ALLPOSTMESSAGE 0x0100
#define QS_ALLINPUT 0x04FF
#define MWMO_WAITALL 0x0001
#define MWMO_ALERTABLE 0x0002
#define MWMO_INPUTAVAILABLE 0x0004
/// @}

/// @name Window creation and timer limits
/// @{

/// As in Win32.
#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_MESSAGE ((HWND)(LONG_PTR)-3)
#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF
/// @}

/// @name Window errors
/// @{

/// As in Win32.
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_THREAD_ID 1444L
/// @}

extern "C" {

/// @name Window classes
/// @{

/// Class names compare case-insensitively; a class is told apart by its name
/// and its instance.
KORVEX_API ATOM RegisterClassA(const WNDCLASSA* wndClass);
KORVEX_API BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
KORVEX_API BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wndClass);
/// @}

/// Creates a window of the class on the calling thread; sends WM_NCCREATE and WM_CREATE.
/// @windiff Position, size, style and parent are kept
/// nowhere; windows are never shown.
KORVEX_API HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
/// Only the owning thread destroys a window: WM_DESTROY, then WM_NCDESTROY, then
/// its timers and queued messages are gone.
KORVEX_API BOOL DestroyWindow(HWND window);
/// Nonzero while the window exists.
KORVEX_API BOOL IsWindow(HWND window);
/// WM_NCCREATE gives TRUE, WM_CLOSE destroys the window, all else gives 0.
KORVEX_API LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/// Sent messages are handled first, then posted ones, then WM_QUIT, then due
/// timers. Waits without spinning. -1 for a bad window filter or when the
/// thread was terminated.
KORVEX_API BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
/// As GetMessageA, without waiting; PM_REMOVE takes the message.
KORVEX_API BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
/// @windiff No keyboard input exists, so there is nothing
/// to translate: FALSE.
KORVEX_API BOOL TranslateMessage(const MSG* msg);
/// Calls the window procedure of the message's window (or the timer's callback).
KORVEX_API LRESULT DispatchMessageA(const MSG* msg);
/// Queues a message for the window's thread. A NULL window posts to the calling thread.
KORVEX_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Queues a message for that thread.
KORVEX_API BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
/// Makes the calling thread's GetMessageA return 0 after the messages already posted.
KORVEX_API void PostQuitMessage(int exitCode);
/// To a window of another thread: waits until that thread has handled it,
/// handling messages sent to this thread meanwhile. 0 when it cannot be
/// delivered (the window or its thread went away, this thread was terminated).
KORVEX_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Returns at once. To a window of another thread, callback(window, message,
/// data, result) runs on this thread once that thread has handled the message,
/// when this thread next retrieves messages (GetMessageA, PeekMessageA) or sends
/// one; to a window of this thread, the procedure and then the callback run now.
KORVEX_API BOOL SendMessageCallbackA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, SENDASYNCPROC callback,
                                     ULONG_PTR data);
/// Waits for the handles as WaitForMultipleObjectsEx does (at most
/// MAXIMUM_WAIT_OBJECTS - 1), or for input of the wakeMask kinds in this thread's
/// queue: WAIT_OBJECT_0 + count. Only input that arrived since the thread last
/// looked at its queue counts, unless flags hold MWMO_INPUTAVAILABLE. With
/// MWMO_ALERTABLE, queued APCs run and the result is WAIT_IO_COMPLETION.
KORVEX_API DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask,
                                             DWORD flags);

/// Starts or restarts a timer that posts WM_TIMER (or calls timerFunc).
/// Periods below USER_TIMER_MINIMUM are raised to it. A NULL window makes a
/// thread timer, whose identifier SetTimer picks unless it names one of this
/// thread's timers.
KORVEX_API UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerFunc);
/// Stops a timer.
KORVEX_API BOOL KillTimer(HWND window, UINT_PTR id);
}

/// @}

#endif
