#include <stdint.h>
#include <string.h>

#include <new>

#include "korvex/buffer.h"

namespace {

// A new block carries this much room beyond what the request needs.
const unsigned int kSlack = 1024;
const unsigned int kMaxBlock = 0xFFFFFFFFu;

// Called through a volatile pointer so that the wipe before a release is never
// dropped as a dead store.
void* (*volatile g_wipe)(void*, int, size_t) = memset;

bool Overlaps(const unsigned char* block, unsigned int size, const unsigned char* data, unsigned int length) {
  const uintptr_t b = reinterpret_cast<uintptr_t>(block);
  const uintptr_t d = reinterpret_cast<uintptr_t>(data);
  return block != NULL && d < b + size && b < d + length;
}

// Moves the content to the start of the block.
void Compact(unsigned char* block, unsigned int& offset, unsigned int length) {
  if (offset == 0) return;
  memmove(block, block + offset, length);
  offset = 0;
}

// A new block of that size, with the content copied to the same offset. Taken
// first: when the allocator throws, the buffer is left as it was.
void Reallocate(unsigned char*& block, unsigned int& capacity, unsigned int offset, unsigned int length,
                unsigned int newCapacity) {
  unsigned char* newBlock = CBuffer::AllocHeap(newCapacity);
  if (length) memcpy(newBlock + offset, block + offset, length);
  CBuffer::FreeHeap(block);
  block = newBlock;
  capacity = newCapacity;
}

void CopyIn(CBuffer& buffer, const unsigned char* data, unsigned int length) {
  unsigned char* room = buffer.AppendSpace(length);
  if (room) memcpy(room, data, length);
}

}  // namespace

CBuffer::CBuffer(const unsigned char* data, unsigned int length)
    : m_pData(NULL), m_nLength(0), m_nOffset(0), m_nCapacity(0) {
  Append(data, length);
}

CBuffer::CBuffer(const CBuffer& other) : m_pData(NULL), m_nLength(0), m_nOffset(0), m_nCapacity(0) { Append(other); }

CBuffer::~CBuffer() { FreeHeap(m_pData); }

CBuffer& CBuffer::operator=(const CBuffer& other) {
  if (this != &other) {
    // Keeps the block when the source fits; the growth rule applies otherwise.
    m_nLength = 0;
    m_nOffset = 0;
    Append(other);
  }
  return *this;
}

void CBuffer::PutByte(unsigned char byte) {
  unsigned char* room = AppendSpace(1);
  if (room) *room = byte;
}

unsigned char CBuffer::GetByte() {
  if (m_nLength == 0) return 0;
  const unsigned char byte = m_pData[m_nOffset];
  Consume(1);
  return byte;
}

void CBuffer::Append(const unsigned char* data, unsigned int length) {
  if (length == 0) return;
  if (!Overlaps(m_pData, m_nCapacity, data, length)) {
    CopyIn(*this, data, length);
    return;
  }
  // Making room may move or replace the block the bytes live in.
  const CBuffer aside(data, length);
  CopyIn(*this, aside.Ptr(), length);
}

void CBuffer::Append(const char* data, unsigned int length) {
  Append(reinterpret_cast<const unsigned char*>(data), length);
}

void CBuffer::Append(const CBuffer& other) { Append(other.Ptr(), other.Len()); }

void CBuffer::Append(const CBuffer* other) {
  if (other) Append(*other);
}

unsigned char* CBuffer::AppendSpace(unsigned int count) {
  const unsigned int used = m_nOffset + m_nLength;
  unsigned char* room;
  if (count <= m_nCapacity - used) {
    if (m_pData == NULL) return NULL;
    room = m_pData + used;
  } else {
    const bool needsBlock = count > m_nCapacity - m_nLength;
    if (needsBlock && static_cast<uint64_t>(m_nLength) + count + kSlack > kMaxBlock) return NULL;
    Compact(m_pData, m_nOffset, m_nLength);
    if (needsBlock) Reallocate(m_pData, m_nCapacity, m_nOffset, m_nLength, m_nLength + count + kSlack);
    room = m_pData + m_nLength;
  }
  m_nLength += count;
  return room;
}

unsigned char* CBuffer::InsertSpace(unsigned int count) {
  if (count <= m_nOffset) {
    m_nOffset -= count;
  } else {
    if (count > m_nCapacity - m_nLength) {
      if (static_cast<uint64_t>(m_nLength) + count > kMaxBlock) return NULL;
      Reallocate(m_pData, m_nCapacity, m_nOffset, m_nLength, m_nLength + count);
    }
    memmove(m_pData + count, m_pData + m_nOffset, m_nLength);
    m_nOffset = 0;
  }
  m_nLength += count;
  return m_pData ? m_pData + m_nOffset : NULL;
}

unsigned int CBuffer::Len() const { return m_nLength; }

const unsigned char* CBuffer::Ptr() const { return m_pData ? m_pData + m_nOffset : NULL; }

unsigned char CBuffer::operator[](int index) const { return m_pData[m_nOffset + index]; }

unsigned int CBuffer::Get(unsigned char* destination, unsigned int count) {
  const unsigned int taken = count < m_nLength ? count : m_nLength;
  if (taken) memcpy(destination, m_pData + m_nOffset, taken);
  return Consume(taken);
}

unsigned int CBuffer::Consume(unsigned int count) {
  const unsigned int dropped = count < m_nLength ? count : m_nLength;
  m_nOffset += dropped;
  m_nLength -= dropped;
  if (m_nLength == 0) m_nOffset = 0;
  return dropped;
}

unsigned int CBuffer::ConsumeEnd(unsigned int count) {
  const unsigned int dropped = count < m_nLength ? count : m_nLength;
  m_nLength -= dropped;
  if (m_nLength == 0) m_nOffset = 0;
  return dropped;
}

void CBuffer::Clear(int release) {
  m_nLength = 0;
  m_nOffset = 0;
  if (release && m_nCapacity) {
    g_wipe(m_pData, 0x2A, m_nCapacity);
    FreeHeap(m_pData);
    m_pData = NULL;
    m_nCapacity = 0;
  }
}

int CBuffer::operator!=(const CBuffer& other) const {
  if (m_nLength != other.m_nLength) return 1;
  return m_nLength && memcmp(Ptr(), other.Ptr(), m_nLength) != 0 ? 1 : 0;
}

int CBuffer::operator==(const CBuffer& other) const { return *this != other ? 0 : 1; }

unsigned char* CBuffer::AllocHeap(unsigned int size) { return static_cast<unsigned char*>(::operator new(size)); }

void CBuffer::FreeHeap(unsigned char* block) {
  if (block) ::operator delete(block);
}
