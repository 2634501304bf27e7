#ifndef KORVEX_BUFFER_H
#define KORVEX_BUFFER_H

#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

// A growable byte queue in one heap block, with free room before and after the
// content. A new block is exactly 1024 bytes larger than needed (InsertSpace:
// exactly as large as needed).
//
// Sizes are 32-bit. A request whose block would pass 2^32 - 1 bytes is refused
// before anything changes: AppendSpace and InsertSpace then return NULL and the
// Append overloads and PutByte do nothing. The allocator's exception on memory
// exhaustion passes to the caller and leaves the old block and content in place
// (an append may already have moved the content to the start of the block).
//
// Data that lies inside the buffer's own block (its own Ptr, or the buffer
// appended to itself) is copied aside first, so such appends work as expected.
class KORVEX_API CBuffer {
public:
  CBuffer(const unsigned char* data = NULL, unsigned int length = 0);
  CBuffer(const CBuffer& other);
  virtual ~CBuffer();
  CBuffer& operator=(const CBuffer& other);

  void PutByte(unsigned char byte);
  // 0 on an empty buffer; otherwise the first byte, consumed.
  unsigned char GetByte();

  void Append(const unsigned char* data, unsigned int length);
  void Append(const char* data, unsigned int length);
  void Append(const CBuffer& other);
  void Append(const CBuffer* other);
  unsigned char* AppendSpace(unsigned int count);
  unsigned char* InsertSpace(unsigned int count);

  unsigned int Get(unsigned char* destination, unsigned int count);
  unsigned int Len() const;
  unsigned int Consume(unsigned int count);
  unsigned int ConsumeEnd(unsigned int count);
  const unsigned char* Ptr() const;
  // Nonzero: overwrite the whole block with 0x2A, then release it.
  void Clear(int release);

  int operator==(const CBuffer& other) const;
  int operator!=(const CBuffer& other) const;
  // No range check.
  unsigned char operator[](int index) const;

  static unsigned char* AllocHeap(unsigned int size);
  static void FreeHeap(unsigned char* block);

protected:
  unsigned char* m_pData;
  unsigned int m_nLength;
  unsigned int m_nOffset;
  unsigned int m_nCapacity;
};

// A CBuffer with an advisory mutex: callers bracket their use with Lock and Unlock.
class KORVEX_API CLockBuffer : public CBuffer {
public:
  CLockBuffer(const unsigned char* data = NULL, unsigned int length = 0);
  CLockBuffer(const CBuffer& other);
  virtual ~CLockBuffer();
  CLockBuffer(const CLockBuffer&) = delete;
  CLockBuffer& operator=(const CLockBuffer&) = delete;

  void Lock();
  void Unlock();

private:
  CMutex m_mutex;
  CSingleLock m_lock;
};

// Padded Base64 (RFC 4648, standard alphabet) on one line.
class KORVEX_API CBase64 {
public:
  CBase64();
  CBase64(const CBase64&) = default;
  CBase64& operator=(const CBase64&);

  // Input whose text would not fit in a CString (over 1.5 GiB) gives the empty text.
  static void Encode(const unsigned char* data, unsigned int count, CString& output);
  static void Encode(const CBuffer& input, CString& output);
  // 1 decoded; 0 malformed; -1 the last group carries nonzero unused bits.
  // The output holds every complete group decoded before a failure. Text that
  // would decode to more than a buffer can hold gives 0.
  static int Decode(const char* text, CBuffer& output);
};

#endif
