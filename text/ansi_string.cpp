#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "korvex/text.h"

namespace {

// What a string without a block shows to its callers; never written.
const char kEmptyText[] = "";

// Exactly length + 1 bytes: the bytes and a terminator.
char* NewBlock(const char* text, size_t length) {
  char* block = new char[length + 1];
  memcpy(block, text, length);
  block[length] = '\0';
  return block;
}

// A copy of the text in a block of its own; NULL for no text.
char* CopyOf(const char* text) { return text ? NewBlock(text, strlen(text)) : NULL; }

// The new block is made before the old one goes, so a source inside the
// string (its own text, or a part of it) is never read after release.
void ReplaceBlock(char*& slot, char* block) {
  delete[] slot;
  slot = block;
}

bool IsSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

CAnsiString::CAnsiString() : m_pszText(NULL) {}

CAnsiString::CAnsiString(const char* text) : m_pszText(CopyOf(text)) {}

CAnsiString::CAnsiString(const unsigned short* text) : m_pszText(NULL) { *this = text; }

CAnsiString::CAnsiString(const CAnsiString& other) : m_pszText(CopyOf(other)) {}

CAnsiString::~CAnsiString() { Empty(); }

CAnsiString& CAnsiString::operator=(const char* text) {
  ReplaceBlock(m_pszText, CopyOf(text));
  return *this;
}

CAnsiString& CAnsiString::operator=(const unsigned short* text) {
  Empty();
  if (!text) return *this;
  LPCWSTR wide = reinterpret_cast<LPCWSTR>(text);
  int size = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, -1, NULL, 0, NULL, NULL);
  if (size <= 0) return *this;
  char* block = new char[size];
  block[0] = '\0';
  m_pszText = block;
  WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, -1, block, size, "?", NULL);
  block[size - 1] = '\0';
  return *this;
}

CAnsiString& CAnsiString::operator=(const CAnsiString& other) {
  ReplaceBlock(m_pszText, CopyOf(other));
  return *this;
}

const CAnsiString& CAnsiString::operator+=(const char* text) {
  if (!m_pszText) {
    ReplaceBlock(m_pszText, CopyOf(text));
  } else if (text) {
    size_t length = strlen(m_pszText);
    size_t added = strlen(text);
    char* block = new char[length + added + 1];
    memcpy(block, m_pszText, length);
    memcpy(block + length, text, added + 1);
    ReplaceBlock(m_pszText, block);
  }
  return *this;
}

const CAnsiString& CAnsiString::operator+=(const unsigned short* text) {
  CAnsiString converted(text);
  return *this += converted.m_pszText;
}

const CAnsiString& CAnsiString::operator+=(char ch) {
  const char text[2] = {ch, '\0'};
  return *this += text;
}

CAnsiString::operator const char*() const { return m_pszText ? m_pszText : kEmptyText; }

int CAnsiString::GetLength() const { return m_pszText ? static_cast<int>(strlen(m_pszText)) : 0; }

int CAnsiString::IsEmpty() const { return !m_pszText || !m_pszText[0]; }

void CAnsiString::Empty() { ReplaceBlock(m_pszText, NULL); }

void CAnsiString::SetString(const char* text, int count) {
  ReplaceBlock(m_pszText, count > 0 ? NewBlock(text, static_cast<size_t>(count)) : NULL);
}

CAnsiString CAnsiString::Left(int count) const {
  CAnsiString part;
  if (count > GetLength())
    part = *this;
  else if (count >= 0)
    part.SetString(*this, count);
  return part;
}

CAnsiString CAnsiString::Right(int count) const {
  CAnsiString part;
  int length = GetLength();
  if (count > length)
    part = *this;
  else if (count >= 0)
    part.SetString(static_cast<const char*>(*this) + (length - count), count);
  return part;
}

void CAnsiString::Trim() {
  TrimLeft();
  TrimRight();
}

void CAnsiString::TrimLeft() {
  if (!m_pszText) return;
  size_t skip = 0;
  while (m_pszText[skip] && IsSpace(m_pszText[skip])) ++skip;
  if (skip) memmove(m_pszText, m_pszText + skip, strlen(m_pszText + skip) + 1);
}

void CAnsiString::TrimRight() {
  if (!m_pszText) return;
  for (size_t i = strlen(m_pszText); i > 0 && IsSpace(m_pszText[i - 1]); --i) m_pszText[i - 1] = '\0';
}

void CAnsiString::MakeUpper() {
  for (char* p = m_pszText; p && *p; ++p)
    if (islower(static_cast<unsigned char>(*p))) *p = static_cast<char>(*p - 0x20);
}

void CAnsiString::MakeLower() {
  for (char* p = m_pszText; p && *p; ++p)
    if (isupper(static_cast<unsigned char>(*p))) *p = static_cast<char>(*p + 0x20);
}

void CAnsiString::Delete(int index, int count) {
  CString text(static_cast<const char*>(*this));
  text.Delete(index, count);
  ReplaceBlock(m_pszText, CopyOf(text));
}

char CAnsiString::GetAt(int index) const { return index >= 0 && index < GetLength() ? m_pszText[index] : '\0'; }

void CAnsiString::SetAt(int index, char ch) {
  if (index >= 0 && index < GetLength()) m_pszText[index] = ch;
}

void CAnsiString::Format(const char* format, ...) {
  // The arguments are read into the working area before the old text goes.
  char area[4096];
  area[0] = '\0';
  va_list args;
  va_start(args, format);
  vsnprintf(area, sizeof area, format, args);
  va_end(args);
  area[sizeof area - 1] = '\0';
  ReplaceBlock(m_pszText, CopyOf(area));
}

int operator==(const CAnsiString& a, const CAnsiString& b) {
  return strcmp(static_cast<const char*>(a), static_cast<const char*>(b)) == 0;
}
int operator==(const CAnsiString& a, const char* b) { return strcmp(static_cast<const char*>(a), b) == 0; }
int operator==(const char* a, const CAnsiString& b) { return strcmp(a, static_cast<const char*>(b)) == 0; }
int operator!=(const CAnsiString& a, const CAnsiString& b) { return !(a == b); }
int operator!=(const CAnsiString& a, const char* b) { return !(a == b); }
int operator!=(const char* a, const CAnsiString& b) { return !(a == b); }
