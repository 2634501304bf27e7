#ifndef KORVEX_TYPES_H
#define KORVEX_TYPES_H

// The string, array, map, text-file and lock types the library works with.
#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "korvex/export.h"
#include "korvex/platform.h"

class KORVEX_API CString {
public:
  CString();
  CString(const CString& other);
  // A pointer value below 65536 is a string resource number.
  CString(const char* text);
  CString(const char* text, int length);
  CString(char ch, int repeat = 1);
  ~CString();

  CString& operator=(const CString& other);
  CString& operator=(const char* text);
  CString& operator=(char ch);
  CString& operator+=(const CString& other);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);

  int GetLength() const { return static_cast<int>(m_text.size()); }
  BOOL IsEmpty() const { return m_text.empty(); }
  void Empty();
  char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch) { m_text[static_cast<size_t>(index)] = ch; }
  operator const char*() const { return m_text.c_str(); }

  // Compare and the comparison operators share one rule: unsigned bytes over
  // the whole stored length, embedded zero bytes included, and a text that is
  // the start of the other sorts first. A C text argument is its bytes up to
  // its zero byte (NULL: the empty text), so "a\0b" differs from "a".
  int Compare(const char* text) const;
  // As C texts, up to the first zero byte, with the platform's case folding.
  int CompareNoCase(const char* text) const;

  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;

  void MakeUpper();
  void MakeLower();
  void TrimLeft();
  void TrimRight();

  // -1 when absent.
  int Find(char ch, int start = 0) const;
  int Find(const char* text, int start = 0) const;
  int ReverseFind(char ch) const;

  // Removes up to count characters at index; returns the new length.
  int Delete(int index, int count = 1);
  int Insert(int index, const char* text);

  // printf-style. A result longer than a string can hold (INT_MAX bytes), or
  // a bad format, gives the empty text.
  void Format(const char* format, ...);
  void FormatV(const char* format, va_list args);

  BOOL LoadString(UINT id);

  char* GetBuffer(int minLength);
  char* GetBufferSetLength(int length);
  // -1: the length ends at the first zero byte.
  void ReleaseBuffer(int newLength = -1);

  KORVEX_API friend CString operator+(const CString& a, const CString& b);
  KORVEX_API friend CString operator+(const CString& a, const char* b);
  KORVEX_API friend CString operator+(const char* a, const CString& b);
  KORVEX_API friend CString operator+(const CString& a, char b);

private:
  std::string m_text;
};

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

class CStringArray {
public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  BOOL IsEmpty() const { return m_items.empty(); }
  const CString& GetAt(int index) const { return m_items[static_cast<size_t>(index)]; }
  CString& ElementAt(int index) { return m_items[static_cast<size_t>(index)]; }
  const CString& operator[](int index) const { return GetAt(index); }
  CString& operator[](int index) { return ElementAt(index); }
  void SetAt(int index, const char* text) { m_items[static_cast<size_t>(index)] = text; }
  void SetAtGrow(int index, const CString& text) {
    if (index >= GetSize()) m_items.resize(static_cast<size_t>(index) + 1);
    m_items[static_cast<size_t>(index)] = text;
  }
  int Add(const CString& text) {
    m_items.push_back(text);
    return GetSize() - 1;
  }
  void RemoveAt(int index, int count = 1) { m_items.erase(m_items.begin() + index, m_items.begin() + index + count); }
  void RemoveAll() { m_items.clear(); }

private:
  std::vector<CString> m_items;
};

#include "korvex/detail/hash_map.h"

// Hash maps whose enumeration visits the newest association first.
template <class KEY, class VALUE>
class CMap : public korvex::detail::HashMap<KEY, VALUE> {
public:
  explicit CMap(int blockSize = 10) { (void)blockSize; }
};

class CMapStringToString : public CMap<CString, CString> {
public:
  explicit CMapStringToString(int blockSize = 10) : CMap<CString, CString>(blockSize) {}
};

class CMapStringToPtr : public CMap<CString, void*> {
public:
  explicit CMapStringToPtr(int blockSize = 10) : CMap<CString, void*>(blockSize) {}
};

class CMapPtrToPtr : public CMap<void*, void*> {
public:
  explicit CMapPtrToPtr(int blockSize = 10) : CMap<void*, void*>(blockSize) {}
};

namespace korvex {
namespace detail {
struct StdioFileState;
}
}  // namespace korvex

// A text file. Open's flags:
// - access: modeRead (0), modeWrite (write only) or modeReadWrite (both; the
//   file is read and written at one position, which a write takes from where
//   reading got to);
// - modeCreate creates a missing file and truncates an existing one, unless
//   modeNoTruncate is added: then the content stays and every write goes to
//   the end, while reading starts at the beginning; without modeCreate the
//   file must exist and is read and written from its start;
// - typeText (the default): lines end in "\r\n" on disk, and reading accepts
//   "\n" and "\r\n"; typeBinary: no translation, a line ends at "\n" and
//   keeps a "\r" before it.
// Open refuses (FALSE) any other flag, modeWrite with modeReadWrite,
// typeText with typeBinary, and modeCreate without write access.
class KORVEX_API CStdioFile {
public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };

  CStdioFile();
  ~CStdioFile();
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;

  // Failure is reported by the result only; the error object is never filled.
  BOOL Open(const char* path, UINT flags, void* error = NULL);
  // The next line without its end; FALSE at end of file, on a read error, in
  // write-only mode, and for a line longer than a string can hold (INT_MAX
  // bytes), after which the file gives no more lines.
  BOOL ReadString(CString& line);
  // FALSE when the file did not take every byte, or in read-only mode.
  BOOL WriteString(const char* text);
  // FALSE when buffered bytes could not be written out or the file not
  // closed (a full disk shows here); TRUE when nothing was open.
  BOOL Close();

private:
  korvex::detail::StdioFileState* m_state;
};

// Unnamed, process-local, and recursive for its owner as a Win32 mutex is:
// each Lock of the owning thread needs its own Unlock, and only the owner can
// unlock it.
class KORVEX_API CMutex {
public:
  CMutex(BOOL initiallyOwn = FALSE, const char* name = NULL, LPSECURITY_ATTRIBUTES attributes = NULL);
  ~CMutex();
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  BOOL Lock(DWORD timeoutMs = INFINITE);
  BOOL Unlock();

private:
  void* m_handle;
};

class KORVEX_API CSingleLock {
public:
  CSingleLock(CMutex* mutex, BOOL initialLock = FALSE);
  ~CSingleLock();
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  BOOL Lock(DWORD timeoutMs = INFINITE);
  BOOL Unlock();
  BOOL IsLocked() const { return m_locked; }

private:
  CMutex* m_mutex;
  BOOL m_locked;
};

#endif
