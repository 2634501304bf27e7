#ifndef KORVEX_POSIX_NOTIFY_H
#define KORVEX_POSIX_NOTIFY_H

/// @file
/// Change notifications for folders and registry keys.
#include "korvex/posix/base.h"
#include "korvex/posix/registry.h"

/// @defgroup layer_notify Change notifications
/// @ingroup layer
/// Change notifications for folders (inotify) and registry keys. A folder's
/// change handle is signalled by a change and stays so until
/// FindNextChangeNotification; wait for it with the wait functions.
/// @{

/// @name Folder change filters
/// @{

/// As in Win32; FindFirstChangeNotificationA says what each one watches here.
#define FILE_NOTIFY_CHANGE_FILE_NAME 0x00000001u
#define FILE_NOTIFY_CHANGE_DIR_NAME 0x00000002u
#define FILE_NOTIFY_CHANGE_ATTRIBUTES 0x00000004u
#define FILE_NOTIFY_CHANGE_SIZE 0x00000008u
#define FILE_NOTIFY_CHANGE_LAST_WRITE 0x00000010u
#define FILE_NOTIFY_CHANGE_LAST_ACCESS 0x00000020u
#define FILE_NOTIFY_CHANGE_CREATION 0x00000040u
#define FILE_NOTIFY_CHANGE_SECURITY 0x00000100u
/// @}

/// @name Registry change filters
/// @{

/// As in Win32; see RegNotifyChangeKeyValue.
#define REG_NOTIFY_CHANGE_NAME 0x00000001L
#define REG_NOTIFY_CHANGE_ATTRIBUTES 0x00000002L
#define REG_NOTIFY_CHANGE_LAST_SET 0x00000004L
#define REG_NOTIFY_CHANGE_SECURITY 0x00000008L
#define REG_NOTIFY_THREAD_AGNOSTIC 0x10000000L
/// @}

extern "C" {

/// A change handle for the folder. With watchSubtree, folders created below
/// the folder later are watched too.
/// @windiff The filters map onto inotify:
/// FILE_NAME and DIR_NAME on entries created, deleted or renamed; SIZE and
/// LAST_WRITE on writes; ATTRIBUTES and SECURITY on metadata changes;
/// LAST_ACCESS on reads; CREATION on entries created.
KORVEX_API HANDLE FindFirstChangeNotificationA(LPCSTR pathName, BOOL watchSubtree, DWORD notifyFilter);
/// Resets the handle to wait for the next change.
KORVEX_API BOOL FindNextChangeNotification(HANDLE changeHandle);
/// Closes the handle.
KORVEX_API BOOL FindCloseChangeNotification(HANDLE changeHandle);

/// Returns (or, asynchronously, signals the event) when the key, or with
/// watchSubtree anything below it, changes as the filter names, in this process
/// or another: REG_NOTIFY_CHANGE_NAME for subkeys added or removed,
/// REG_NOTIFY_CHANGE_LAST_SET for values set or deleted. A wait on a key
/// that is deleted fails with ERROR_KEY_DELETED. The key needs KEY_NOTIFY.
/// @windiff Keys carry no attributes or security, so
/// REG_NOTIFY_CHANGE_ATTRIBUTES and REG_NOTIFY_CHANGE_SECURITY never fire alone.
/// A filter that names no change, or bits that are none of the flags, is
/// ERROR_INVALID_PARAMETER, and so is an asynchronous call without an event;
/// Win32 documents no code for either (Wine accepts the filter and calls the
/// missing event ERROR_INVALID_HANDLE).
KORVEX_API LSTATUS RegNotifyChangeKeyValue(HKEY key, BOOL watchSubtree, DWORD notifyFilter, HANDLE event,
                                           BOOL asynchronous);
}

/// @}

#endif
