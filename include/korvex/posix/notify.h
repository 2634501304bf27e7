#ifndef KORVEX_POSIX_NOTIFY_H
#define KORVEX_POSIX_NOTIFY_H

/// Change notifications for folders (inotify) and registry keys. A folder's
/// change handle is signalled by a change and stays so until
/// FindNextChangeNotification; wait for it with the wait functions.
#include "korvex/posix/base.h"
#include "korvex/posix/registry.h"

#define FILE_NOTIFY_CHANGE_FILE_NAME 0x00000001u
#define FILE_NOTIFY_CHANGE_DIR_NAME 0x00000002u
#define FILE_NOTIFY_CHANGE_ATTRIBUTES 0x00000004u
#define FILE_NOTIFY_CHANGE_SIZE 0x00000008u
#define FILE_NOTIFY_CHANGE_LAST_WRITE 0x00000010u
#define FILE_NOTIFY_CHANGE_LAST_ACCESS 0x00000020u
#define FILE_NOTIFY_CHANGE_CREATION 0x00000040u
#define FILE_NOTIFY_CHANGE_SECURITY 0x00000100u

#define REG_NOTIFY_CHANGE_NAME 0x00000001L
#define REG_NOTIFY_CHANGE_ATTRIBUTES 0x00000002L
#define REG_NOTIFY_CHANGE_LAST_SET 0x00000004L
#define REG_NOTIFY_CHANGE_SECURITY 0x00000008L
#define REG_NOTIFY_THREAD_AGNOSTIC 0x10000000L

extern "C" {

/// With watchSubtree, folders created below the folder later are watched too.
/// Names map onto inotify: FILE_NAME and DIR_NAME on entries created, deleted
/// or renamed; SIZE and LAST_WRITE on writes; ATTRIBUTES and SECURITY on
/// metadata changes; LAST_ACCESS on reads; CREATION on entries created.
KORVEX_API HANDLE FindFirstChangeNotificationA(LPCSTR pathName, BOOL watchSubtree, DWORD notifyFilter);
KORVEX_API BOOL FindNextChangeNotification(HANDLE changeHandle);
KORVEX_API BOOL FindCloseChangeNotification(HANDLE changeHandle);

/// Returns (or, asynchronously, signals the event) when the key, or with
/// watchSubtree anything below it, changes as the filter names, in this process
/// or another: REG_NOTIFY_CHANGE_NAME for subkeys added or removed,
/// REG_NOTIFY_CHANGE_LAST_SET for values set or deleted. Keys carry no
/// attributes or security here, so those bits never fire alone. A wait on a key
/// that is deleted fails with ERROR_KEY_DELETED. The key needs KEY_NOTIFY.
KORVEX_API LSTATUS RegNotifyChangeKeyValue(HKEY key, BOOL watchSubtree, DWORD notifyFilter, HANDLE event,
                                           BOOL asynchronous);
}

#endif
