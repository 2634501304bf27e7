#include <string.h>

#include "korvex/settings.h"

namespace {

// Walks the model in the maps' enumeration order and hands each line to a
// visitor: a section's key lines first, then its header.
template <class Visitor>
void VisitLines(const CMapStringToPtr& sections, Visitor& visit) {
  CString name, key, value;
  void* table;
  for (POSITION s = sections.GetStartPosition(); s;) {
    sections.GetNextAssoc(s, name, table);
    const CMapStringToString& keys = *static_cast<const CMapStringToString*>(table);
    for (POSITION k = keys.GetStartPosition(); k;) {
      keys.GetNextAssoc(k, key, value);
      visit.KeyLine(key, value);
    }
    visit.Header(name);
  }
}

struct LengthCounter {
  size_t total = 0;
  void KeyLine(const CString& key, const CString& value) { total += key.GetLength() + value.GetLength() + 2; }
  void Header(const CString& name) { total += name.GetLength() + 3; }
};

// Puts each line in front of those already placed: fills the text from its end.
class FrontWriter {
public:
  explicit FrontWriter(char* end) : m_front(end) {}
  void KeyLine(const CString& key, const CString& value) {
    Put("\n", 1);
    Put(value, value.GetLength());
    Put("=", 1);
    Put(key, key.GetLength());
  }
  void Header(const CString& name) {
    Put("]\n", 2);
    Put(name, name.GetLength());
    Put("[", 1);
  }

private:
  void Put(const char* bytes, int count) {
    m_front -= count;
    memcpy(m_front, bytes, static_cast<size_t>(count));
  }
  char* m_front;
};

}  // namespace

int CIniFile::Write(const char* path) const {
  CStdioFile file;
  if (!file.Open(path, CStdioFile::modeCreate | CStdioFile::modeWrite)) return 0;
  LengthCounter counter;
  VisitLines(m_sections, counter);
  CString text;
  char* start = text.GetBufferSetLength(static_cast<int>(counter.total));
  FrontWriter writer(start + counter.total);
  VisitLines(m_sections, writer);
  text.ReleaseBuffer(static_cast<int>(counter.total));
  file.WriteString(text);
  file.Close();
  return 1;
}
