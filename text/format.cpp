#include "korvex/text.h"

namespace {

CString FormatList(const char* format, va_list args) {
  CString text;
  text.FormatV(format, args);
  return text;
}

}  // namespace

CString csFmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString text = FormatList(format, args);
  va_end(args);
  return text;
}

CString csFmt(unsigned int id, ...) {
  // A number in place of the text pointer loads that string resource; resource
  // numbers are 16-bit, so larger ones are cut rather than taken for a pointer.
  CString format(MAKEINTRESOURCEA(id));
  va_list args;
  va_start(args, id);
  CString text = FormatList(format, args);
  va_end(args);
  return text;
}
