#ifndef KORVEX_TEXT_H
#define KORVEX_TEXT_H

#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

// An 8-bit text in the ANSI code page, held in one exact-size heap block (or
// none: the empty text). The length is never stored; it is counted.
class KORVEX_API CAnsiString {
public:
  CAnsiString();
  CAnsiString(const char* text);
  // Zero-terminated UTF-16, converted to the ANSI code page ("?" where it has no character).
  CAnsiString(const unsigned short* text);
  CAnsiString(const CAnsiString& other);
  ~CAnsiString();

  CAnsiString& operator=(const char* text);
  CAnsiString& operator=(const unsigned short* text);
  CAnsiString& operator=(const CAnsiString& other);
  const CAnsiString& operator+=(const char* text);
  const CAnsiString& operator+=(const unsigned short* text);
  const CAnsiString& operator+=(char ch);

  // Never null: a string without a block gives a shared empty text.
  operator const char*() const;

  int GetLength() const;
  int IsEmpty() const;
  void Empty();
  // Copies exactly count bytes, zero bytes included.
  void SetString(const char* text, int count);

  CAnsiString Left(int count) const;
  CAnsiString Right(int count) const;

  // In place, by isspace/islower/isupper of the current locale.
  void Trim();
  void TrimLeft();
  void TrimRight();
  void MakeUpper();
  void MakeLower();

  void Delete(int index, int count);
  // Zero past the end; SetAt past the end does nothing.
  char GetAt(int index) const;
  void SetAt(int index, char ch);

  // At most 4095 characters; longer output is cut.
  void Format(const char* format, ...);

private:
  char* m_pszText;
};

KORVEX_API int operator==(const CAnsiString& a, const CAnsiString& b);
KORVEX_API int operator==(const CAnsiString& a, const char* b);
KORVEX_API int operator==(const char* a, const CAnsiString& b);
KORVEX_API int operator!=(const CAnsiString& a, const CAnsiString& b);
KORVEX_API int operator!=(const CAnsiString& a, const char* b);
KORVEX_API int operator!=(const char* a, const CAnsiString& b);

// printf-style formatting into a new CString, without a length limit.
KORVEX_API CString csFmt(const char* format, ...);
// The format is the string resource with that number; none (or 0) gives "".
KORVEX_API CString csFmt(unsigned int id, ...);

// Splits text at every occurrence of the whole delimiter text and appends the
// non-empty pieces to tokens; returns how many were appended. An empty or null
// delimiter appends nothing.
KORVEX_API int StrTok(CStringArray& tokens, CString text, const char* delimiter);

#endif
