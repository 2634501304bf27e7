#include <string.h>

#include "korvex/text.h"

int StrTok(CStringArray& tokens, CString text, const char* delimiter) {
  // An empty delimiter would be found everywhere and consume nothing.
  if (!delimiter || !*delimiter) return 0;
  const int delimiterLength = static_cast<int>(strlen(delimiter));
  const int length = text.GetLength();
  int count = 0;
  // Searching on from a position is searching the text with everything before it removed.
  for (int position = 0; position < length;) {
    int found = text.Find(delimiter, position);
    if (found == position) {
      position += delimiterLength;
      continue;
    }
    int end = found < 0 ? length : found;
    tokens.SetAtGrow(tokens.GetSize(), text.Mid(position, end - position));
    ++count;
    position = found < 0 ? length : found + delimiterLength;
  }
  return count;
}
