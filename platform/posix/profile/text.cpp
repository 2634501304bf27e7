#include "platform/posix/profile/text.h"

namespace korvex {
namespace posix {
namespace {

std::string Folded(const std::string& name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

std::string_view StripQuotes(std::string_view value) {
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
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) end = content.size();
    std::string text = content.substr(start, end - start);
    start = end + (content.compare(end, 2, "\r\n") == 0 ? 2 : 1);
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
  Reindex();
}

void ProfileText::Reindex() {
  sections_.clear();
  SectionIndex* current = nullptr;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Section) {
      auto added = sections_.emplace(Folded(line.name), SectionIndex{i, {}});
      current = added.second ? &added.first->second : nullptr;
    } else if (line.kind == Kind::Entry && current) {
      current->keys.emplace(Folded(line.name), i);
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
  const SectionIndex* found = FindSection(section);
  if (!found) return false;
  for (size_t i = found->header + 1, end = SectionEnd(found->header); i < end; ++i)
    if (lines_[i].kind == Kind::Entry) names->push_back(lines_[i].name);
  return true;
}

bool ProfileText::SectionLines(const std::string& section, std::vector<std::string>* lines) const {
  const SectionIndex* found = FindSection(section);
  if (!found) return false;
  for (size_t i = found->header + 1, end = SectionEnd(found->header); i < end; ++i) {
    const Line& line = lines_[i];
    std::string trimmed = TrimBlanks(line.text);
    if (line.kind == Kind::Entry)
      lines->push_back(line.name + "=" + line.value);
    else if (!trimmed.empty() && trimmed[0] != ';')
      lines->push_back(trimmed);
  }
  return true;
}

const std::string* ProfileText::RawValue(const std::string& section, const std::string& key) const {
  size_t entry = FindKey(section, key);
  return entry == lines_.size() ? nullptr : &lines_[entry].value;
}

bool ProfileText::Find(const std::string& section, const std::string& key, std::string_view* value) const {
  const std::string* raw = RawValue(section, key);
  if (!raw) return false;
  *value = StripQuotes(*raw);
  return true;
}

bool ProfileText::Set(const std::string& section, const std::string& key, const std::string& value) {
  size_t entry = FindKey(section, key);
  if (entry != lines_.size()) {
    Line& line = lines_[entry];
    if (line.value == value) return false;
    line.text = line.name + "=" + value;
    line.value = value;
    return true;
  }
  const SectionIndex* found = FindSection(section);
  size_t at = lines_.size();
  if (!found) {
    lines_.push_back({Kind::Section, "[" + section + "]", section, ""});
    at = lines_.size();
  } else {
    // A new key goes after the section's last entry, ahead of trailing blank lines.
    at = found->header + 1;
    for (size_t i = found->header + 1, end = SectionEnd(found->header); i < end; ++i)
      if (lines_[i].kind == Kind::Entry) at = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{Kind::Entry, key + "=" + value, key, value});
  Reindex();
  return true;
}

bool ProfileText::RemoveKey(const std::string& section, const std::string& key) {
  size_t entry = FindKey(section, key);
  if (entry == lines_.size()) return false;
  Erase(entry, entry + 1);
  return true;
}

bool ProfileText::RemoveSection(const std::string& section) {
  const SectionIndex* found = FindSection(section);
  if (!found) return false;
  Erase(found->header, SectionEnd(found->header));
  return true;
}

bool ProfileText::ReplaceSection(const std::string& section,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
  const SectionIndex* found = FindSection(section);
  size_t at = lines_.size();
  if (found) {
    at = found->header + 1;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(found->header)));
  } else {
    lines_.push_back({Kind::Section, "[" + section + "]", section, ""});
    at = lines_.size();
  }
  std::vector<Line> added;
  for (const auto& entry : entries)
    added.push_back({Kind::Entry, entry.first + "=" + entry.second, entry.first, entry.second});
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  Reindex();
  return true;
}

const ProfileText::SectionIndex* ProfileText::FindSection(const std::string& section) const {
  auto found = sections_.find(Folded(section));
  return found == sections_.end() ? nullptr : &found->second;
}

size_t ProfileText::SectionEnd(size_t header) const {
  size_t end = header + 1;
  while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
  return end;
}

size_t ProfileText::FindKey(const std::string& section, const std::string& key) const {
  const SectionIndex* found = FindSection(section);
  if (!found) return lines_.size();
  auto entry = found->keys.find(Folded(key));
  return entry == found->keys.end() ? lines_.size() : entry->second;
}

void ProfileText::Erase(size_t first, size_t last) {
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first), lines_.begin() + static_cast<std::ptrdiff_t>(last));
  Reindex();
}

}  // namespace posix
}  // namespace korvex
