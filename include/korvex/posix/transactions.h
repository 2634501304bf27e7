#ifndef KORVEX_POSIX_TRANSACTIONS_H
#define KORVEX_POSIX_TRANSACTIONS_H

/// @file
/// Registry transactions.
#include "korvex/posix/base.h"
#include "korvex/posix/registry.h"

/// @defgroup layer_transactions Registry transactions
/// @ingroup layer
/// Registry transactions. Keys opened or created with a transaction, and keys
/// opened or created below them, belong to it: every call through them runs
/// inside it and sees its changes, which nobody else sees before
/// CommitTransaction. A call that fails inside leaves the transaction usable,
/// with nothing of that call done, unless the storage failed (an I/O error):
/// then all of it is rolled back, and the later calls and the commit fail with
/// ERROR_TRANSACTION_NOT_ACTIVE. RollbackTransaction, or closing the handle
/// (CloseHandle) without a commit, undoes everything; a process that dies
/// mid-transaction leaves the registry as it was. Calls on the transaction's
/// keys after it ended fail with ERROR_TRANSACTION_NOT_ACTIVE.
///
/// @windiff Atomicity is per hive: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are
/// separate databases, committed one after the other, HKEY_LOCAL_MACHINE
/// first. Its commit is the one that may wait (for its other writers'
/// reads): when it fails, nothing is committed. HKEY_CURRENT_USER then
/// commits without waiting for anyone; only a storage failure, or the
/// process dying, between the two commits leaves HKEY_LOCAL_MACHINE's part
/// committed and HKEY_CURRENT_USER's not.
///
/// @windiff A transaction holds each hive it touches for writing from its first use
/// there until it ends: other writers of that hive, in this process as in
/// others, wait for it (and give up with ERROR_BUSY after some seconds).
///
/// @windiff Time-outs are not kept: a Timeout other than 0 or INFINITE is refused with
/// ERROR_INVALID_PARAMETER, as is a UOW.
/// @{

/// As in Win32.
typedef void* PVOID;
/// As in Win32.
typedef WCHAR* LPWSTR;
/// A unit of work's identifier; only NULL is accepted.
typedef struct _GUID {
  /// @{
  /// As in Win32.
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
  /// @}
} GUID, *LPGUID;
/// @typedef LPGUID
/// A pointer to GUID.

/// An option of CreateTransaction, accepted.
#define TRANSACTION_DO_NOT_PROMOTE 0x00000001
/// A call through a transaction that has ended.
#define ERROR_TRANSACTION_NOT_ACTIVE 6701L

extern "C" {

/// A new transaction; close it with CloseHandle.
KORVEX_API HANDLE CreateTransaction(LPSECURITY_ATTRIBUTES lpTransactionAttributes, LPGUID UOW, DWORD CreateOptions,
                                    DWORD IsolationLevel, DWORD IsolationFlags, DWORD Timeout, LPWSTR Description);
/// Both fail with ERROR_TRANSACTION_NOT_ACTIVE once the transaction has ended.
KORVEX_API BOOL CommitTransaction(HANDLE TransactionHandle);
/// Undoes everything the transaction did.
KORVEX_API BOOL RollbackTransaction(HANDLE TransactionHandle);

/// As RegCreateKeyExA, in the transaction; the extended parameter must be NULL.
KORVEX_API LSTATUS RegCreateKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                           REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                           PHKEY phkResult, LPDWORD lpdwDisposition, HANDLE hTransaction,
                                           PVOID pExtendedParemeter);
/// As RegOpenKeyExA, in the transaction; the extended parameter must be NULL.
KORVEX_API LSTATUS RegOpenKeyTransactedA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                         PHKEY phkResult, HANDLE hTransaction, PVOID pExtendedParameter);
}

/// @}

#endif
