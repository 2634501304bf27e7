#include "korvex/types.h"

#if !defined(_WIN32)
#include <errno.h>
#include <pthread.h>
#include <time.h>
#endif

// A process-local mutex: a Win32 mutex object on Windows, a recursive pthread
// mutex elsewhere, so its owner may take it again (and releases it as often).
#if defined(_WIN32)

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

#else

CMutex::CMutex(BOOL initiallyOwn, const char* name, LPSECURITY_ATTRIBUTES attributes)
    : m_handle(new pthread_mutex_t) {
  (void)name;
  (void)attributes;
  pthread_mutexattr_t recursive;
  pthread_mutexattr_init(&recursive);
  pthread_mutexattr_settype(&recursive, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(static_cast<pthread_mutex_t*>(m_handle), &recursive);
  pthread_mutexattr_destroy(&recursive);
  if (initiallyOwn) Lock();
}

CMutex::~CMutex() {
  pthread_mutex_t* mutex = static_cast<pthread_mutex_t*>(m_handle);
  pthread_mutex_destroy(mutex);
  delete mutex;
}

BOOL CMutex::Lock(DWORD timeoutMs) {
  pthread_mutex_t* mutex = static_cast<pthread_mutex_t*>(m_handle);
  if (timeoutMs == INFINITE) return pthread_mutex_lock(mutex) == 0;
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return pthread_mutex_timedlock(mutex, &deadline) == 0;
}

BOOL CMutex::Unlock() { return pthread_mutex_unlock(static_cast<pthread_mutex_t*>(m_handle)) == 0; }

#endif

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
