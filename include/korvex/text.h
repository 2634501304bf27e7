#ifndef KORVEX_TEXT_H
#define KORVEX_TEXT_H

/// @file
/// The 8-bit string, formatting into a CString, and splitting a text.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

/// @defgroup text Text
/// An 8-bit string that also takes UTF-16, printf-style formatting into a
/// CString in one expression, and splitting a text at a delimiter text.
/// @{

/// An 8-bit text in the ANSI code page, held in one exact-size heap block (or
/// none: the empty text). The length is never stored; it is counted.
class KORVEX_API CAnsiString {
public:
  /// The empty text, without a block.
  CAnsiString();
  /// A copy of the C text (NULL: the empty text).
  CAnsiString(const char* text);
  /// Zero-terminated UTF-16, converted to the ANSI code page ("?" where it has no character).
  CAnsiString(const unsigned short* text);
  /// A copy of `other`.
  CAnsiString(const CAnsiString& other);
  /// Releases the block.
  ~CAnsiString();

  /// @{
  /// Replaces the text; UTF-16 is converted as by the constructor.
  CAnsiString& operator=(const char* text);
  CAnsiString& operator=(const unsigned short* text);
  CAnsiString& operator=(const CAnsiString& other);
  /// @}
  /// @{
  /// Appends to the text; UTF-16 is converted as by the constructor.
  const CAnsiString& operator+=(const char* text);
  const CAnsiString& operator+=(const unsigned short* text);
  const CAnsiString& operator+=(char ch);
  /// @}

  /// Never null: a string without a block gives a shared empty text.
  operator const char*() const;

  /// The length in bytes, counted up to the first zero byte.
  int GetLength() const;
  /// 1 for the empty text.
  int IsEmpty() const;
  /// Releases the block: the empty text.
  void Empty();
  /// Copies exactly count bytes, zero bytes included.
  void SetString(const char* text, int count);

  /// The first `count` bytes (clamped).
  CAnsiString Left(int count) const;
  /// The last `count` bytes (clamped).
  CAnsiString Right(int count) const;

  /// @{
  /// In place, by isspace/islower/isupper of the current locale.
  void Trim();
  void TrimLeft();
  void TrimRight();
  void MakeUpper();
  void MakeLower();
  /// @}

  /// Removes up to `count` bytes at `index`.
  void Delete(int index, int count);
  /// @{
  /// Zero past the end; SetAt past the end does nothing.
  char GetAt(int index) const;
  void SetAt(int index, char ch);
  /// @}

  /// At most 4095 characters; longer output is cut.
  void Format(const char* format, ...);

private:
  char* m_pszText;
};

/// @name CAnsiString comparisons
/// @{

/// Byte-wise comparison of the texts: 1 when (un)equal, else 0.
KORVEX_API int operator==(const CAnsiString& a, const CAnsiString& b);
KORVEX_API int operator==(const CAnsiString& a, const char* b);
KORVEX_API int operator==(const char* a, const CAnsiString& b);
KORVEX_API int operator!=(const CAnsiString& a, const CAnsiString& b);
KORVEX_API int operator!=(const CAnsiString& a, const char* b);
KORVEX_API int operator!=(const char* a, const CAnsiString& b);
/// @}

/// @name csFmt
/// @{

/// printf-style formatting into a new CString, without a length limit.
KORVEX_API CString csFmt(const char* format, ...);
/// The format is the string resource with that number; none (or 0) gives "".
KORVEX_API CString csFmt(unsigned int id, ...);
/// @}

/// Splits text at every occurrence of the whole delimiter text and appends the
/// non-empty pieces to tokens; returns how many were appended. An empty or null
/// delimiter appends nothing.
KORVEX_API int StrTok(CStringArray& tokens, CString text, const char* delimiter);

/// @}

#endif
