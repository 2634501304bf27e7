#include "platform/posix/profile/text.h"

#include <cstring>

namespace korvex {
namespace posix {
namespace profile {
namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

// FNV-1a over the folded name, seeded with what the name belongs to.
uint64_t HashName(uint32_t owner, std::string_view name) {
  uint64_t hash = 0xcbf29ce484222325u ^ (static_cast<uint64_t>(owner) * 0x9E3779B97F4A7C15u);
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(Fold(c))) * 0x100000001b3u;
  return hash ^ (hash >> 29);
}

std::string_view Trim(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(first, last - first);
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// The next byte `c` at or after `from`, or `end`.
const char* Next(const char* from, const char* end, char c) {
  const char* found = static_cast<const char*>(memchr(from, c, static_cast<size_t>(end - from)));
  return found ? found : end;
}

}  // namespace

std::string TrimBlanks(std::string_view text) { return std::string(Trim(text)); }

ProfileText::ProfileText(std::string content, bool cut) : text_(std::move(content)), whole_(!cut), cut_(cut) {
  // Past the last line end of a cut file lies a line cut short.
  if (cut) text_.resize(text_.find_last_of("\r\n") + 1);
  // Zero bytes at the end are no line; the text ends before them.
  size_t size = text_.size();
  while (size > 0 && text_[size - 1] == '\0') --size;
  bool zeros = memchr(text_.data(), '\0', size) != nullptr;
  const char* base = text_.data();
  const char* end = base + size;
  // The next CR and LF are each looked for again only once passed, so that a
  // file of one kind of line end is scanned once.
  const char *cr = nullptr, *lf = nullptr;
  for (const char* start = base; start < end;) {
    if (!cr || cr < start) cr = Next(start, end, '\r');
    if (!lf || lf < start) lf = Next(start, end, '\n');
    const char* stop = cr < lf ? cr : lf;
    const char* next = stop + (stop < end && stop[0] == '\r' && stop + 1 < end && stop[1] == '\n' ? 2 : 1);
    size_t length = static_cast<size_t>(stop - start);
    if (zeros) {
      const char* zero = static_cast<const char*>(memchr(start, '\0', length));
      if (zero) length = static_cast<size_t>(zero - start);
    }
    if (length > kMaxProfileLine) {
      length = kMaxProfileLine;
      whole_ = false;
    }
    Line line = MakeLine(std::string_view(start, length));
    line.start = static_cast<uint32_t>(start - base);
    lines_.push_back(line);
    start = next;
  }
  Reindex();
}

ProfileText::Line ProfileText::MakeLine(std::string_view text) {
  if (text.size() > kMaxProfileLine) whole_ = false;
  Line line{0, static_cast<uint32_t>(text.size()), kNone, Kind::Other};
  std::string_view trimmed = Trim(text);
  if (!trimmed.empty() && trimmed[0] == '[')
    line.kind = Kind::Section;
  else if (!trimmed.empty() && trimmed[0] != ';' && trimmed.find('=') != std::string_view::npos)
    line.kind = Kind::Entry;
  return line;
}

std::string_view ProfileText::NameOf(const Line& line) const {
  std::string_view trimmed = Trim(TextOf(line));
  if (line.kind == Kind::Section) {
    size_t close = trimmed.find(']');
    return Trim(trimmed.substr(1, close == std::string_view::npos ? close : close - 1));
  }
  return line.kind == Kind::Entry ? Trim(trimmed.substr(0, trimmed.find('='))) : std::string_view();
}

std::string_view ProfileText::ValueOf(const Line& line) const {
  std::string_view text = TextOf(line);
  return Trim(text.substr(text.find('=') + 1));
}

void ProfileText::Reindex() {
  size_t named = 0;
  for (const Line& line : lines_) named += line.kind != Kind::Other;
  size_t capacity = 16;
  while (capacity < 2 * named) capacity *= 2;
  slots_.assign(capacity, Slot{kNone, 0});
  uint32_t section = kNone;
  bool counted = false;  // only the first section of a name holds keys
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    if (line.kind == Kind::Section) section = static_cast<uint32_t>(i);
    line.section = section;
    if (line.kind == Kind::Other || (line.kind == Kind::Entry && !counted)) continue;
    uint32_t owner = line.kind == Kind::Section ? kNone : section;
    std::string_view name = NameOf(line);
    uint64_t hash = HashName(owner, name);
    Slot& slot = slots_[FindSlot(hash, owner, line.kind, name)];
    if (line.kind == Kind::Section) counted = slot.line == kNone;
    if (slot.line == kNone) slot = {static_cast<uint32_t>(i), static_cast<uint32_t>(hash)};
  }
}

size_t ProfileText::FindSlot(uint64_t hash, uint32_t owner, Kind kind, std::string_view name) const {
  size_t mask = slots_.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.line == kNone) return at;
    if (slot.hash != static_cast<uint32_t>(hash)) continue;
    const Line& line = lines_[slot.line];
    if (line.kind == kind && (kind == Kind::Section || line.section == owner) && SameName(NameOf(line), name))
      return at;
  }
}

uint32_t ProfileText::FindSection(std::string_view section) const {
  section = Trim(section);
  return slots_[FindSlot(HashName(kNone, section), kNone, Kind::Section, section)].line;
}

uint32_t ProfileText::FindKey(std::string_view section, std::string_view key) const {
  uint32_t header = FindSection(section);
  if (header == kNone) return kNone;
  key = Trim(key);
  return slots_[FindSlot(HashName(header, key), header, Kind::Entry, key)].line;
}

bool ProfileText::Complete(std::string_view section) const {
  uint32_t header = FindSection(section);
  return !cut_ || (header != kNone && SectionEnd(header) < lines_.size());
}

size_t ProfileText::SectionEnd(size_t header) const {
  size_t end = header + 1;
  while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
  return end;
}

std::string ProfileText::Serialize() const {
  std::string content;
  for (const Line& line : lines_) content.append(TextOf(line)).append("\r\n");
  return content;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.kind == Kind::Section) names.emplace_back(NameOf(line));
  return names;
}

bool ProfileText::KeyNames(std::string_view section, std::vector<std::string>* names) const {
  uint32_t header = FindSection(section);
  if (header == kNone) return false;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
    if (lines_[i].kind == Kind::Entry) names->emplace_back(NameOf(lines_[i]));
  return true;
}

bool ProfileText::SectionLines(std::string_view section, std::vector<std::string>* lines) const {
  uint32_t header = FindSection(section);
  if (header == kNone) return false;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    const Line& line = lines_[i];
    std::string_view trimmed = Trim(TextOf(line));
    if (line.kind == Kind::Entry)
      lines->push_back(std::string(NameOf(line)).append("=").append(ValueOf(line)));
    else if (!trimmed.empty() && trimmed[0] != ';')
      lines->emplace_back(trimmed);
  }
  return true;
}

std::optional<std::string_view> ProfileText::RawValue(std::string_view section, std::string_view key) const {
  uint32_t entry = FindKey(section, key);
  if (entry == kNone) return std::nullopt;
  return ValueOf(lines_[entry]);
}

bool ProfileText::Find(std::string_view section, std::string_view key, std::string_view* value) const {
  std::optional<std::string_view> raw = RawValue(section, key);
  if (!raw) return false;
  *value = StripQuotes(*raw);
  return true;
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key).append("=").append(value);
  uint32_t entry = FindKey(section, key);
  if (entry != kNone) {
    if (ValueOf(lines_[entry]) == value) return false;
    // The name as the file has it stays.
    line = std::string(NameOf(lines_[entry])).append("=").append(value);
    Line replaced = MakeLine(line);
    replaced.start = static_cast<uint32_t>(text_.size());
    text_.append(line);
    lines_[entry] = replaced;
    Reindex();
    return true;
  }
  uint32_t header = FindSection(section);
  std::vector<std::string> added;
  size_t at = lines_.size();
  if (header == kNone) {
    added.push_back(std::string("[").append(section).append("]"));
  } else {
    // A new key goes after the section's last entry, ahead of trailing blank lines.
    at = header + 1;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
      if (lines_[i].kind == Kind::Entry) at = i + 1;
  }
  added.push_back(line);
  Insert(added, at);
  return true;
}

bool ProfileText::RemoveKey(std::string_view section, std::string_view key) {
  uint32_t entry = FindKey(section, key);
  if (entry == kNone) return false;
  Erase(entry, entry + 1);
  return true;
}

bool ProfileText::RemoveSection(std::string_view section) {
  uint32_t header = FindSection(section);
  if (header == kNone) return false;
  Erase(header, SectionEnd(header));
  return true;
}

bool ProfileText::ReplaceSection(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
  uint32_t header = FindSection(section);
  std::vector<std::string> texts;
  size_t at = lines_.size();
  if (header != kNone) {
    at = header + 1;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
  } else {
    texts.push_back(std::string("[").append(section).append("]"));
  }
  for (const auto& entry : entries) texts.push_back(entry.first + "=" + entry.second);
  Insert(texts, at);
  return true;
}

void ProfileText::Insert(const std::vector<std::string>& texts, size_t at) {
  std::vector<Line> added;
  for (const std::string& text : texts) {
    added.push_back(MakeLine(text));
    added.back().start = static_cast<uint32_t>(text_.size());
    text_.append(text);
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  Reindex();
}

void ProfileText::Erase(size_t first, size_t last) {
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first), lines_.begin() + static_cast<std::ptrdiff_t>(last));
  Reindex();
}

}  // namespace profile
}  // namespace posix
}  // namespace korvex
