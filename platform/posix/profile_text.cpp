#include "platform/posix/profile_text.h"

namespace korvex {
namespace posix {
namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::string StripQuotes(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

ProfileText::ProfileText(const std::string& content) {
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string text = content.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    start = end + 1;
    std::string trimmed = TrimBlanks(text);
    size_t equals = trimmed.find('=');
    if (!trimmed.empty() && trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      lines_.push_back({Kind::Section, text, TrimBlanks(trimmed.substr(1, close == std::string::npos ? close : close - 1)), ""});
    } else if (!trimmed.empty() && trimmed[0] != ';' && equals != std::string::npos) {
      lines_.push_back({Kind::Entry, text, TrimBlanks(trimmed.substr(0, equals)), TrimBlanks(trimmed.substr(equals + 1))});
    } else {
      lines_.push_back({Kind::Other, text, "", ""});
    }
  }
}

std::string ProfileText::Serialize() const {
  std::string content;
  for (const Line& line : lines_) content += line.text + "\r\n";
  return content;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.kind == Kind::Section) names.push_back(line.name);
  return names;
}

bool ProfileText::KeyNames(const std::string& section, std::vector<std::string>* names) const {
  size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
    if (lines_[i].kind == Kind::Entry) names->push_back(lines_[i].name);
  return true;
}

bool ProfileText::Find(const std::string& section, const std::string& key, std::string* value) const {
  size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  size_t entry = FindKey(header, key);
  if (entry == lines_.size()) return false;
  *value = StripQuotes(lines_[entry].value);
  return true;
}

bool ProfileText::Set(const std::string& section, const std::string& key, const std::string& value) {
  size_t header = FindSection(section);
  if (header == lines_.size()) lines_.push_back({Kind::Section, "[" + section + "]", section, ""});
  size_t entry = FindKey(header, key);
  if (entry != lines_.size()) {
    Line& line = lines_[entry];
    if (line.value == value) return false;
    line.text = line.name + "=" + value;
    line.value = value;
    return true;
  }
  // A new key goes after the section's last entry, ahead of trailing blank lines.
  size_t at = header + 1;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
    if (lines_[i].kind == Kind::Entry) at = i + 1;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{Kind::Entry, key + "=" + value, key, value});
  return true;
}

bool ProfileText::RemoveKey(const std::string& section, const std::string& key) {
  size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  size_t entry = FindKey(header, key);
  if (entry == lines_.size()) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(entry));
  return true;
}

bool ProfileText::RemoveSection(const std::string& section) {
  size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
               lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
  return true;
}

size_t ProfileText::FindSection(const std::string& section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section)) return i;
  return lines_.size();
}

size_t ProfileText::SectionEnd(size_t header) const {
  size_t end = header + 1;
  while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
  return end;
}

size_t ProfileText::FindKey(size_t header, const std::string& key) const {
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
    if (lines_[i].kind == Kind::Entry && SameName(lines_[i].name, key)) return i;
  return lines_.size();
}

}  // namespace posix
}  // namespace korvex
