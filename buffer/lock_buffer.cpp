#include "korvex/buffer.h"

CLockBuffer::CLockBuffer(const unsigned char* data, unsigned int length)
    : CBuffer(data, length), m_mutex(FALSE, NULL, NULL), m_lock(&m_mutex, FALSE) {}

CLockBuffer::CLockBuffer(const CBuffer& other) : CBuffer(other), m_mutex(FALSE, NULL, NULL), m_lock(&m_mutex, FALSE) {}

// The lock object goes first and releases the mutex if it holds it.
CLockBuffer::~CLockBuffer() {}

void CLockBuffer::Lock() { m_lock.Lock(INFINITE); }

void CLockBuffer::Unlock() { m_lock.Unlock(); }
