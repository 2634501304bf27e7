#ifndef KORVEX_BUFFER_H
#define KORVEX_BUFFER_H

/// @file
/// Byte buffers and Base64.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

/// @defgroup buffer Byte buffers and Base64
/// A growable byte queue, the same with a lock for callers that share it, and
/// Base64 between buffers and text.
/// @{

/// A growable byte queue in one heap block, with free room before and after the
/// content. A new block is exactly 1024 bytes larger than needed (InsertSpace:
/// exactly as large as needed).
///
/// Sizes are 32-bit. A request whose block would pass 2^32 - 1 bytes is refused
/// before anything changes: AppendSpace and InsertSpace then return NULL and the
/// Append overloads and PutByte do nothing. The allocator's exception on memory
/// exhaustion passes to the caller and leaves the old block and content in place
/// (an append may already have moved the content to the start of the block).
///
/// Data that lies inside the buffer's own block (its own Ptr, or the buffer
/// appended to itself) is copied aside first, so such appends work as expected.
class KORVEX_API CBuffer {
public:
  /// A buffer holding a copy of `length` bytes at `data` (none: an empty buffer without a block).
  CBuffer(const unsigned char* data = NULL, unsigned int length = 0);
  /// A buffer holding a copy of `other`'s content.
  CBuffer(const CBuffer& other);
  /// Releases the block.
  virtual ~CBuffer();
  /// Replaces the content with a copy of `other`'s.
  CBuffer& operator=(const CBuffer& other);

  /// Appends one byte.
  void PutByte(unsigned char byte);
  /// 0 on an empty buffer; otherwise the first byte, consumed.
  unsigned char GetByte();

  /// @{
  /// Appends `length` bytes, or another buffer's content.
  void Append(const unsigned char* data, unsigned int length);
  void Append(const char* data, unsigned int length);
  void Append(const CBuffer& other);
  void Append(const CBuffer* other);
  /// @}
  /// Room for `count` bytes at the end, counted in the length at once: write them
  /// through the pointer before the buffer changes again.
  unsigned char* AppendSpace(unsigned int count);
  /// The same at the start.
  unsigned char* InsertSpace(unsigned int count);

  /// Copies up to `count` bytes from the start into `destination` and consumes
  /// them; returns how many.
  unsigned int Get(unsigned char* destination, unsigned int count);
  /// The content's length.
  unsigned int Len() const;
  /// Drops up to `count` bytes from the start; returns how many.
  unsigned int Consume(unsigned int count);
  /// Drops up to `count` bytes from the end; returns how many.
  unsigned int ConsumeEnd(unsigned int count);
  /// The content's first byte (NULL without a block); valid until the buffer changes.
  const unsigned char* Ptr() const;
  /// Empties the buffer. `release` nonzero: overwrite the whole block with
  /// 0x2A, then release it.
  void Clear(int release);

  /// @{
  /// 1 (0 for !=) when both hold the same bytes.
  int operator==(const CBuffer& other) const;
  int operator!=(const CBuffer& other) const;
  /// @}
  /// The content's byte at `index`; no range check.
  unsigned char operator[](int index) const;

  /// Allocates a block as the buffers do; the allocator's exception passes through.
  static unsigned char* AllocHeap(unsigned int size);
  /// Releases a block from AllocHeap; NULL does nothing.
  static void FreeHeap(unsigned char* block);

protected:
  unsigned char* m_pData;    ///< The block, or NULL.
  unsigned int m_nLength;    ///< Bytes of content.
  unsigned int m_nOffset;    ///< Free room before the content.
  unsigned int m_nCapacity;  ///< The block's size.
};

/// A CBuffer with an advisory mutex: callers bracket their use with Lock and Unlock.
class KORVEX_API CLockBuffer : public CBuffer {
public:
  /// @{
  /// As CBuffer's constructors, with an unlocked mutex.
  CLockBuffer(const unsigned char* data = NULL, unsigned int length = 0);
  CLockBuffer(const CBuffer& other);
  /// @}
  /// Releases the lock if held, then the block.
  virtual ~CLockBuffer();
  CLockBuffer(const CLockBuffer&) = delete;
  CLockBuffer& operator=(const CLockBuffer&) = delete;

  /// Waits for and takes the mutex; the owning thread may take it again.
  void Lock();
  /// Releases the mutex.
  void Unlock();

private:
  CMutex m_mutex;
  CSingleLock m_lock;
};

/// Padded Base64 (RFC 4648, standard alphabet) on one line.
class KORVEX_API CBase64 {
public:
  /// @{
  /// Stateless: every operation is static.
  CBase64();
  CBase64(const CBase64&) = default;
  CBase64& operator=(const CBase64&);
  /// @}

  /// @{
  /// The text of `count` bytes, or of a buffer's content, into `output`.
  /// Input whose text would not fit in a CString (over 1.5 GiB) gives the empty text.
  static void Encode(const unsigned char* data, unsigned int count, CString& output);
  static void Encode(const CBuffer& input, CString& output);
  /// @}
  /// 1 decoded; 0 malformed; -1 the last group carries nonzero unused bits.
  /// The output holds every complete group decoded before a failure. Text that
  /// would decode to more than a buffer can hold gives 0.
  static int Decode(const char* text, CBuffer& output);
};

/// @}

#endif
