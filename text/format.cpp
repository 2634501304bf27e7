#include "korvex/text.h"

CString csFmt(const char* format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  return text;
}

CString csFmt(unsigned int id, ...) {
  // A number in place of the text pointer loads that string resource; resource
  // numbers are 16-bit, so larger ones are cut rather than taken for a pointer.
  CString format(MAKEINTRESOURCEA(id));
  CString text;
  va_list args;
  va_start(args, id);
  text.FormatV(format, args);
  va_end(args);
  return text;
}
