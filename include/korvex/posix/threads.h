#ifndef KORVEX_POSIX_THREADS_H
#define KORVEX_POSIX_THREADS_H

/// @file
/// Threads, events, mutexes and waiting.
#include "korvex/posix/base.h"

/// @defgroup layer_threads Threads and waiting
/// @ingroup layer
/// Threads, events and waiting. Threads, events and change notifications are
/// HANDLEs of one kind: CloseHandle releases them and the wait functions wait
/// for them. Handle values are not reused while the process lives.
/// @{

/// A thread's function.
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);
/// A function QueueUserAPC runs on the thread it is queued to.
typedef void(CALLBACK* PAPCFUNC)(ULONG_PTR);

/// @name Waits and threads
/// @{

/// As in Win32.
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
/// @}

/// @name Thread errors
/// @{

/// As in Win32.
#ifndef ERROR_NOT_SUPPORTED
#define ERROR_NOT_SUPPORTED 50L
#endif
#ifndef ERROR_NOT_OWNER
#define ERROR_NOT_OWNER 288L
#endif
/// @}

extern "C" {

/// Starts a thread running `start(parameter)`.
/// @windiff CREATE_SUSPENDED is not supported.
KORVEX_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, size_t stackSize, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
/// The thread's exit code, or STILL_ACTIVE.
KORVEX_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
/// The calling thread's identifier.
KORVEX_API DWORD GetCurrentThreadId(void);
/// @windiff Threads cannot be cut off at any point. The thread is marked: every
/// call of this layer that it is blocked in, or makes later, fails at once
/// (ERROR_OPERATION_ABORTED), and its exit code is exitCode. From another thread
/// this returns once the thread is out of such calls; it never waits for a
/// window procedure. The handle is signalled when the thread function returns.
KORVEX_API BOOL TerminateThread(HANDLE thread, DWORD exitCode);

/// An event object.
/// @windiff Unnamed events only; a name gives ERROR_NOT_SUPPORTED.
KORVEX_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
/// Signals the event.
KORVEX_API BOOL SetEvent(HANDLE event);
/// Clears the event.
KORVEX_API BOOL ResetEvent(HANDLE event);

/// A mutex object, recursive for its owner.
/// @windiff Unnamed mutexes only; a name gives
/// ERROR_NOT_SUPPORTED. A mutex whose owner ends without releasing it stays
/// owned; WAIT_ABANDONED is never returned.
KORVEX_API HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
/// ERROR_NOT_OWNER from a thread that does not own the mutex.
KORVEX_API BOOL ReleaseMutex(HANDLE mutex);

/// Waits for the object to be signalled, or the time-out.
KORVEX_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
/// Waits for one or all of the objects, or the time-out.
KORVEX_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

/// Queues apc(data) to the thread; it runs on that thread, in the next alertable
/// wait it makes. 0 for a handle that is not a thread's or a thread that ended.
KORVEX_API DWORD QueueUserAPC(PAPCFUNC apc, HANDLE thread, ULONG_PTR data);
/// As WaitForSingleObject; when alertable, an APC queued to the calling thread
/// ends the wait: every queued APC runs, then WAIT_IO_COMPLETION. Objects
/// already signalled win over queued APCs.
KORVEX_API DWORD WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable);
/// As WaitForMultipleObjects, alertable as WaitForSingleObjectEx.
KORVEX_API DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                          BOOL alertable);
/// 0 once the time is up, WAIT_IO_COMPLETION when alertable and APCs ran.
KORVEX_API DWORD SleepEx(DWORD milliseconds, BOOL alertable);

/// Releases the handle; the object goes with its last handle.
KORVEX_API BOOL CloseHandle(HANDLE handle);
}

/// @}

#endif
