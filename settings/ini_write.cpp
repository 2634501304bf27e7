#include <string.h>

#include <string>
#include <vector>

#include "korvex/settings.h"

namespace {

// Hands text to the file in pieces of a useful size; a large value goes
// through on its own, so the model is never copied whole. Text ends at its
// first zero byte, as WriteString takes it.
class LineSink {
public:
  explicit LineSink(CStdioFile& file) : m_file(file) {}
  void Put(const char* text) {
    size_t n = strlen(text);
    if (m_batch.size() + n > kBatch) Flush();
    if (n > kBatch)
      m_ok = m_file.WriteString(text) && m_ok;
    else
      m_batch.append(text, n);
  }
  bool Finish() {
    Flush();
    return m_ok;
  }

private:
  static const size_t kBatch = 64 * 1024;
  void Flush() {
    if (!m_batch.empty()) m_ok = m_file.WriteString(m_batch.c_str()) && m_ok;
    m_batch.clear();
  }
  CStdioFile& m_file;
  std::string m_batch;
  bool m_ok = true;
};

// A map's associations, by reference, in the reverse of its enumeration order.
template <class Value, class Map>
std::vector<std::pair<const CString*, const Value*>> Reversed(const Map& map) {
  std::vector<std::pair<const CString*, const Value*>> entries;
  const CString* key;
  const Value* value;
  for (POSITION position = map.GetStartPosition(); position;) {
    map.GetNextAssoc(position, key, value);
    entries.emplace_back(key, value);
  }
  return std::vector<std::pair<const CString*, const Value*>>(entries.rbegin(), entries.rend());
}

}  // namespace

int CIniFile::Write(const char* path) const {
  CStdioFile file;
  if (!file.Open(path, CStdioFile::modeCreate | CStdioFile::modeWrite)) return 0;
  // Putting every piece in front of the text so far is writing the maps in
  // reverse: that order, written as it comes.
  LineSink sink(file);
  for (const auto& section : Reversed<void*>(m_sections)) {
    sink.Put("[");
    sink.Put(*section.first);
    sink.Put("]\n");
    const CMapStringToString& keys = *static_cast<const CMapStringToString*>(*section.second);
    for (const auto& key : Reversed<CString>(keys)) {
      sink.Put(*key.first);
      sink.Put("=");
      sink.Put(*key.second);
      sink.Put("\n");
    }
  }
  bool written = sink.Finish();
  // Close as well when writing failed; a full disk may show only here.
  return file.Close() && written ? 1 : 0;
}
