#include "korvex/types.h"

// A process-local Win32 mutex object: its owner may take it again (and
// releases it as often).
CMutex::CMutex(BOOL initiallyOwn, const char* name, LPSECURITY_ATTRIBUTES attributes)
    : m_handle(CreateMutexA(attributes, initiallyOwn, name)) {}

CMutex::~CMutex() {
  if (m_handle) CloseHandle(m_handle);
}

BOOL CMutex::Lock(DWORD timeoutMs) {
  DWORD result = WaitForSingleObject(m_handle, timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

BOOL CMutex::Unlock() { return ReleaseMutex(m_handle); }

namespace {

// A thread that does not hold the mutex may still ask whether the shared lock
// object is held (its destructor does): the flag is read and written atomically.
BOOL ReadLockFlag(const BOOL* flag) { return __atomic_load_n(flag, __ATOMIC_RELAXED); }
void WriteLockFlag(BOOL* flag, BOOL value) { __atomic_store_n(flag, value, __ATOMIC_RELAXED); }

}  // namespace

CSingleLock::CSingleLock(CMutex* mutex, BOOL initialLock) : m_mutex(mutex), m_locked(FALSE) {
  if (initialLock) Lock();
}

CSingleLock::~CSingleLock() { Unlock(); }

// One lock object may be shared by the threads taking turns on a mutex, so the
// flag is only written while the mutex is held: set after taking it, cleared
// before giving it back.
BOOL CSingleLock::Lock(DWORD timeoutMs) {
  if (!m_mutex->Lock(timeoutMs)) return FALSE;
  WriteLockFlag(&m_locked, TRUE);
  return TRUE;
}

BOOL CSingleLock::Unlock() {
  if (!ReadLockFlag(&m_locked)) return TRUE;
  WriteLockFlag(&m_locked, FALSE);
  if (m_mutex->Unlock()) return TRUE;
  WriteLockFlag(&m_locked, TRUE);
  return FALSE;
}
