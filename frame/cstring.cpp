#include <ctype.h>
#include <string.h>

#include "korvex/types.h"
#include "platform/mbstring.h"

namespace {

// Clamps a (start, count) request to the text; returns the count that fits.
size_t Clamp(const std::string& text, int start, int count, size_t* first) {
  size_t length = text.size();
  size_t begin = start < 0 ? 0 : static_cast<size_t>(start);
  if (begin > length) begin = length;
  size_t n = count < 0 ? 0 : static_cast<size_t>(count);
  if (n > length - begin) n = length - begin;
  *first = begin;
  return n;
}

// Unsigned bytes over both whole lengths; a text that is the start of the other sorts first.
int CompareBytes(const char* a, size_t aLength, const char* b, size_t bLength) {
  int order = memcmp(a, b, aLength < bLength ? aLength : bLength);
  if (order != 0) return order;
  return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

int CompareTo(const CString& a, const CString& b) {
  return CompareBytes(a, static_cast<size_t>(a.GetLength()), b, static_cast<size_t>(b.GetLength()));
}

// A C text is its bytes up to its zero byte; NULL is the empty text.
int CompareTo(const CString& a, const char* b) {
  return CompareBytes(a, static_cast<size_t>(a.GetLength()), b ? b : "", b ? strlen(b) : 0);
}

}  // namespace

CString::CString() {}

CString::CString(const CString& other) : m_text(other.m_text) {}

CString::CString(const char* text) {
  if (text && IS_INTRESOURCE(text))
    LoadString(static_cast<UINT>(reinterpret_cast<uintptr_t>(text)));
  else if (text)
    m_text = text;
}

CString::CString(const char* text, int length) {
  if (text && length > 0) m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
  if (repeat > 0) m_text.assign(static_cast<size_t>(repeat), ch);
}

CString::~CString() {}

CString& CString::operator=(const CString& other) {
  m_text = other.m_text;
  return *this;
}

CString& CString::operator=(const char* text) {
  if (text)
    m_text = text;  // std::string handles a source inside itself
  else
    m_text.clear();
  return *this;
}

CString& CString::operator=(char ch) {
  m_text.assign(1, ch);
  return *this;
}

CString& CString::operator+=(const CString& other) {
  m_text += other.m_text;
  return *this;
}

CString& CString::operator+=(const char* text) {
  if (text) m_text += text;
  return *this;
}

CString& CString::operator+=(char ch) {
  m_text += ch;
  return *this;
}

void CString::Empty() { m_text.clear(); }

int CString::Compare(const char* text) const { return CompareTo(*this, text); }

int CString::CompareNoCase(const char* text) const {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(m_text.c_str()), reinterpret_cast<const unsigned char*>(text));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  size_t begin;
  size_t n = Clamp(m_text, first, count, &begin);
  return CString(m_text.data() + begin, static_cast<int>(n));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  if (count < 0) count = 0;
  if (count > GetLength()) count = GetLength();
  return Mid(GetLength() - count, count);
}

void CString::MakeUpper() {
  for (char& c : m_text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
}

void CString::MakeLower() {
  for (char& c : m_text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
}

void CString::TrimLeft() {
  size_t i = 0;
  while (i < m_text.size() && isspace(static_cast<unsigned char>(m_text[i]))) ++i;
  m_text.erase(0, i);
}

void CString::TrimRight() {
  size_t n = m_text.size();
  while (n > 0 && isspace(static_cast<unsigned char>(m_text[n - 1]))) --n;
  m_text.resize(n);
}

int CString::Find(char ch, int start) const {
  if (start < 0 || static_cast<size_t>(start) >= m_text.size()) return -1;
  size_t pos = m_text.find(ch, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* text, int start) const {
  if (!text || start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
  size_t pos = m_text.find(text, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
  size_t pos = m_text.rfind(ch);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Delete(int index, int count) {
  size_t begin;
  size_t n = Clamp(m_text, index, count, &begin);
  m_text.erase(begin, n);
  return GetLength();
}

int CString::Insert(int index, const char* text) {
  if (index < 0) index = 0;
  if (index > GetLength()) index = GetLength();
  if (text) m_text.insert(static_cast<size_t>(index), text);
  return GetLength();
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
  // Arguments may point into this string: format into a new one, then swap.
  std::string out;
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int needed = vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) {
    m_text.clear();
    return;
  }
  if (static_cast<size_t>(needed) < sizeof small) {
    out.assign(small, static_cast<size_t>(needed));
  } else {
    out.resize(static_cast<size_t>(needed));
    vsnprintf(&out[0], out.size() + 1, format, args);
  }
  m_text.swap(out);
}

BOOL CString::LoadString(UINT id) {
  m_text.clear();
  if (id == 0) return FALSE;
  HINSTANCE module = GetModuleHandleA(NULL);
  std::string buffer(256, '\0');
  for (;;) {
    int copied = ::LoadStringA(module, id, &buffer[0], static_cast<int>(buffer.size()));
    if (copied <= 0) return FALSE;
    if (static_cast<size_t>(copied) + 1 < buffer.size()) {
      buffer.resize(static_cast<size_t>(copied));
      m_text.swap(buffer);
      return TRUE;
    }
    buffer.resize(buffer.size() * 2);
  }
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_text.resize(static_cast<size_t>(minLength));
  return &m_text[0];
}

char* CString::GetBufferSetLength(int length) {
  m_text.resize(length < 0 ? 0 : static_cast<size_t>(length));
  return &m_text[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(strlen(m_text.c_str()));
  if (static_cast<size_t>(newLength) < m_text.size()) m_text.resize(static_cast<size_t>(newLength));
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, const char* b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const char* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}

bool operator==(const CString& a, const CString& b) { return CompareTo(a, b) == 0; }
bool operator==(const CString& a, const char* b) { return CompareTo(a, b) == 0; }
bool operator==(const char* a, const CString& b) { return CompareTo(b, a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const char* b) { return CompareTo(a, b) < 0; }
bool operator<(const char* a, const CString& b) { return CompareTo(b, a) > 0; }
bool operator<(const CString& a, const CString& b) { return CompareTo(a, b) < 0; }
bool operator>(const CString& a, const char* b) { return CompareTo(a, b) > 0; }
bool operator>(const char* a, const CString& b) { return CompareTo(b, a) < 0; }
bool operator>(const CString& a, const CString& b) { return CompareTo(a, b) > 0; }
bool operator<=(const CString& a, const char* b) { return CompareTo(a, b) <= 0; }
bool operator<=(const char* a, const CString& b) { return CompareTo(b, a) >= 0; }
bool operator<=(const CString& a, const CString& b) { return CompareTo(a, b) <= 0; }
bool operator>=(const CString& a, const char* b) { return CompareTo(a, b) >= 0; }
bool operator>=(const char* a, const CString& b) { return CompareTo(b, a) <= 0; }
bool operator>=(const CString& a, const CString& b) { return CompareTo(a, b) >= 0; }
