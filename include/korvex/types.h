#ifndef KORVEX_TYPES_H
#define KORVEX_TYPES_H

/// @file
/// The string, array, map, text-file and lock types the library works with.
#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "korvex/export.h"
#include "korvex/platform.h"

/// @defgroup frame Platform types
/// The string, array, map, text-file and lock types every family works with,
/// the same on Windows and Linux, and the export marker.
/// @{

/// An 8-bit text of any length, zero bytes included. It converts to
/// `const char*` wherever a C text is wanted; pass it to printf-style calls as
/// `static_cast<const char*>(text)`.
class KORVEX_API CString {
public:
  /// The empty text.
  CString();
  /// A copy of `other`.
  CString(const CString& other);
  /// The C text, or the string resource of that number when the pointer
  /// value is below 65536 (MAKEINTRESOURCEA).
  CString(const char* text);
  /// Exactly `length` bytes of `text`, zero bytes included.
  CString(const char* text, int length);
  /// `ch` repeated `repeat` times.
  CString(char ch, int repeat = 1);
  /// Releases the text.
  ~CString();

  /// @{
  /// Replaces the text.
  CString& operator=(const CString& other);
  CString& operator=(const char* text);
  CString& operator=(char ch);
  /// @}
  /// @{
  /// Appends to the text.
  CString& operator+=(const CString& other);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);
  /// @}

  /// The length in bytes.
  int GetLength() const { return static_cast<int>(m_text.size()); }
  /// Nonzero for the empty text.
  BOOL IsEmpty() const { return m_text.empty(); }
  /// Makes the text empty.
  void Empty();
  /// @{
  /// The byte at `index`; no range check.
  char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
  char operator[](int index) const { return GetAt(index); }
  /// @}
  /// Replaces the byte at `index`; no range check.
  void SetAt(int index, char ch) { m_text[static_cast<size_t>(index)] = ch; }
  /// The text, zero-terminated; valid until the string changes.
  operator const char*() const { return m_text.c_str(); }

  /// Compare and the comparison operators share one rule: unsigned bytes over
  /// the whole stored length, embedded zero bytes included, and a text that is
  /// the start of the other sorts first. A C text argument is its bytes up to
  /// its zero byte (NULL: the empty text), so `"a\0b"` differs from "a".
  int Compare(const char* text) const;
  /// As C texts, up to the first zero byte, with the platform's case folding.
  int CompareNoCase(const char* text) const;

  /// @{
  /// The part from `first` on (up to `count` bytes); positions past either
  /// end are clamped.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  /// @}
  /// The first `count` bytes (clamped).
  CString Left(int count) const;
  /// The last `count` bytes (clamped).
  CString Right(int count) const;

  /// @{
  /// In place, byte by byte, by toupper/tolower and isspace of the C locale functions.
  void MakeUpper();
  void MakeLower();
  void TrimLeft();
  void TrimRight();
  /// @}

  /// @{
  /// The position of the first match at or after `start`; -1 when absent.
  int Find(char ch, int start = 0) const;
  int Find(const char* text, int start = 0) const;
  /// @}
  /// The position of the last `ch`; -1 when absent.
  int ReverseFind(char ch) const;

  /// Removes up to count characters at index; returns the new length.
  int Delete(int index, int count = 1);
  /// Inserts `text` at `index` (clamped); returns the new length.
  int Insert(int index, const char* text);

  /// @{
  /// printf-style. A result longer than a string can hold (INT_MAX bytes), or
  /// a bad format, gives the empty text.
  void Format(const char* format, ...);
  void FormatV(const char* format, va_list args);
  /// @}

  /// The string resource of that number; FALSE, with the empty text, when
  /// there is none. On Linux, KorvexSetStringResource fills the table.
  BOOL LoadString(UINT id);

  /// @{
  /// Writable storage of at least `minLength` bytes (exactly `length`, which
  /// becomes the text's length); call ReleaseBuffer when done writing.
  char* GetBuffer(int minLength);
  char* GetBufferSetLength(int length);
  /// @}
  /// Sets the length after writing through GetBuffer; -1: the length ends at
  /// the first zero byte.
  void ReleaseBuffer(int newLength = -1);

  /// @{
  /// The two texts joined.
  KORVEX_API friend CString operator+(const CString& a, const CString& b);
  KORVEX_API friend CString operator+(const CString& a, const char* b);
  KORVEX_API friend CString operator+(const char* a, const CString& b);
  KORVEX_API friend CString operator+(const CString& a, char b);
  /// @}

private:
  std::string m_text;
};

/// @name CString comparisons
/// @{

/// Compares by the rule of CString::Compare.
KORVEX_API bool operator==(const CString& a, const CString& b);
KORVEX_API bool operator==(const CString& a, const char* b);
KORVEX_API bool operator==(const char* a, const CString& b);
KORVEX_API bool operator!=(const CString& a, const CString& b);
KORVEX_API bool operator!=(const CString& a, const char* b);
KORVEX_API bool operator!=(const char* a, const CString& b);
KORVEX_API bool operator<(const CString& a, const char* b);
KORVEX_API bool operator<(const char* a, const CString& b);
KORVEX_API bool operator<(const CString& a, const CString& b);
KORVEX_API bool operator>(const CString& a, const char* b);
KORVEX_API bool operator>(const char* a, const CString& b);
KORVEX_API bool operator>(const CString& a, const CString& b);
KORVEX_API bool operator<=(const CString& a, const char* b);
KORVEX_API bool operator<=(const char* a, const CString& b);
KORVEX_API bool operator<=(const CString& a, const CString& b);
KORVEX_API bool operator>=(const CString& a, const char* b);
KORVEX_API bool operator>=(const char* a, const CString& b);
KORVEX_API bool operator>=(const CString& a, const CString& b);
/// @}

/// An array of strings, indexed from 0. Header-only: nothing of it is exported.
class CStringArray {
public:
  /// @{
  /// The number of strings.
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  /// @}
  /// Nonzero when there is no string.
  BOOL IsEmpty() const { return m_items.empty(); }
  /// @{
  /// The string at `index`; no range check.
  const CString& GetAt(int index) const { return m_items[static_cast<size_t>(index)]; }
  CString& ElementAt(int index) { return m_items[static_cast<size_t>(index)]; }
  const CString& operator[](int index) const { return GetAt(index); }
  CString& operator[](int index) { return ElementAt(index); }
  /// @}
  /// Replaces the string at `index`; no range check.
  void SetAt(int index, const char* text) { m_items[static_cast<size_t>(index)] = text; }
  /// Replaces the string at `index`, growing the array with empty strings to reach it.
  void SetAtGrow(int index, const CString& text) {
    if (index >= GetSize()) m_items.resize(static_cast<size_t>(index) + 1);
    m_items[static_cast<size_t>(index)] = text;
  }
  /// Appends `text`; returns its index.
  int Add(const CString& text) {
    m_items.push_back(text);
    return GetSize() - 1;
  }
  /// Removes `count` strings at `index`; no range check.
  void RemoveAt(int index, int count = 1) { m_items.erase(m_items.begin() + index, m_items.begin() + index + count); }
  /// Removes every string.
  void RemoveAll() { m_items.clear(); }

private:
  std::vector<CString> m_items;
};

#include "korvex/detail/hash_map.h"

/// A hash map whose enumeration visits the newest association first.
/// Header-only. Read a value with Lookup, walk the map with GetStartPosition
/// and GetNextAssoc (see korvex::detail::HashMap).
template <class KEY, class VALUE>
class CMap : public korvex::detail::HashMap<KEY, VALUE> {
public:
  /// An empty map; the block size is accepted and ignored.
  explicit CMap(int blockSize = 10) { (void)blockSize; }
};

/// Texts by text, compared byte for byte (the URL record's parameters).
class CMapStringToString : public CMap<CString, CString> {
public:
  /// An empty map.
  explicit CMapStringToString(int blockSize = 10) : CMap<CString, CString>(blockSize) {}
};

/// Pointers by text, compared byte for byte.
class CMapStringToPtr : public CMap<CString, void*> {
public:
  /// An empty map.
  explicit CMapStringToPtr(int blockSize = 10) : CMap<CString, void*>(blockSize) {}
};

/// Pointers by pointer.
class CMapPtrToPtr : public CMap<void*, void*> {
public:
  /// An empty map.
  explicit CMapPtrToPtr(int blockSize = 10) : CMap<void*, void*>(blockSize) {}
};

/// @cond INTERNAL

namespace korvex {
namespace detail {
struct StdioFileState;
}
}  // namespace korvex
/// @endcond

/// A text file. Open's flags:
/// - access: modeRead (0), modeWrite (write only) or modeReadWrite (both; the
///   file is read and written at one position, which a write takes from where
///   reading got to);
/// - modeCreate creates a missing file and truncates an existing one, unless
///   modeNoTruncate is added: then the content stays and every write goes to
///   the end, while reading starts at the beginning; without modeCreate the
///   file must exist and is read and written from its start;
/// - typeText (the default): lines end in `"\r\n"` on disk, and reading accepts
///   `"\n"` and `"\r\n"`; typeBinary: no translation, a line ends at `"\n"` and
///   keeps a `"\r"` before it.
/// Open refuses (FALSE) any other flag, modeWrite with modeReadWrite,
/// typeText with typeBinary, and modeCreate without write access.
class KORVEX_API CStdioFile {
public:
  /// Open's flags, combined with "|".
  enum OpenFlags : UINT {
    modeRead = 0x0000,        ///< Read only.
    modeWrite = 0x0001,       ///< Write only.
    modeReadWrite = 0x0002,   ///< Read and write at one position.
    modeCreate = 0x1000,      ///< Create, or truncate unless modeNoTruncate.
    modeNoTruncate = 0x2000,  ///< With modeCreate: keep the content, write at the end.
    typeText = 0x4000,        ///< Lines end in `"\r\n"` on disk (the default).
    typeBinary = 0x8000,      ///< No translation.
  };

  /// A file object with no file open.
  CStdioFile();
  /// Closes the file.
  ~CStdioFile();
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;

  /// Failure is reported by the result only; the error object is never filled.
  BOOL Open(const char* path, UINT flags, void* error = NULL);
  /// The next line without its end; FALSE at end of file, on a read error, in
  /// write-only mode, and for a line longer than a string can hold (INT_MAX
  /// bytes), after which the file gives no more lines.
  BOOL ReadString(CString& line);
  /// FALSE when the file did not take every byte, or in read-only mode.
  BOOL WriteString(const char* text);
  /// FALSE when buffered bytes could not be written out or the file not
  /// closed (a full disk shows here); TRUE when nothing was open.
  BOOL Close();

private:
  korvex::detail::StdioFileState* m_state;
};

/// Unnamed, process-local, and recursive for its owner as a Win32 mutex is:
/// each Lock of the owning thread needs its own Unlock, and only the owner can
/// unlock it.
class KORVEX_API CMutex {
public:
  /// Owned by the calling thread when `initiallyOwn` is nonzero; the name
  /// and attributes are ignored.
  CMutex(BOOL initiallyOwn = FALSE, const char* name = NULL, LPSECURITY_ATTRIBUTES attributes = NULL);
  /// Releases the mutex.
  ~CMutex();
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  /// Waits up to `timeoutMs` for ownership; FALSE on time-out.
  BOOL Lock(DWORD timeoutMs = INFINITE);
  /// Gives up one level of ownership; FALSE from a thread that does not own it.
  BOOL Unlock();

private:
  void* m_handle;
};

/// One hold on a CMutex, released with the object.
class KORVEX_API CSingleLock {
public:
  /// Locks `mutex` at once when `initialLock` is nonzero.
  CSingleLock(CMutex* mutex, BOOL initialLock = FALSE);
  /// Unlocks the mutex when this object holds it.
  ~CSingleLock();
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  /// Locks the mutex, waiting up to `timeoutMs`; FALSE on time-out.
  BOOL Lock(DWORD timeoutMs = INFINITE);
  /// Releases this object's hold.
  BOOL Unlock();
  /// Nonzero while this object holds the mutex.
  BOOL IsLocked() const { return m_locked; }

private:
  CMutex* m_mutex;
  BOOL m_locked;
};

/// @}

#endif
