#ifndef KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H
#define KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H

// A profile file's text as lines, edited in place so that whatever a write does
// not touch (comments, order, spacing of other lines) stays as it was.
//
// Lines end at CR, LF or CR LF. Only the first section of a name counts, and in
// it the first entry of a key: later ones are kept in the file but never seen.
// Names are indexed, so a lookup costs the same in a file of any size.
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace korvex {
namespace posix {

class ProfileText {
 public:
  explicit ProfileText(const std::string& content);

  std::string Serialize() const;

  std::vector<std::string> SectionNames() const;
  // False when the section is missing.
  bool KeyNames(const std::string& section, std::vector<std::string>* names) const;
  // The section's lines as "key=value" (names and values trimmed, quotes kept),
  // and lines without '=' as they stand; comments and blank lines left out.
  bool SectionLines(const std::string& section, std::vector<std::string>* lines) const;
  // The value as written, trimmed; null when the key is missing.
  const std::string* RawValue(const std::string& section, const std::string& key) const;
  // The value with its surrounding quotes removed, valid while the text is;
  // false when the key is missing.
  bool Find(const std::string& section, const std::string& key, std::string_view* value) const;

  // Each returns whether the text changed.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  bool RemoveKey(const std::string& section, const std::string& key);
  bool RemoveSection(const std::string& section);
  // Replaces the section's lines by these entries; the section is added at the
  // end when missing.
  bool ReplaceSection(const std::string& section, const std::vector<std::pair<std::string, std::string>>& entries);

 private:
  enum class Kind { Section, Entry, Other };
  struct Line {
    Kind kind;
    std::string text;   // as in the file
    std::string name;   // section or key name, trimmed
    std::string value;  // entry value, trimmed
  };
  struct SectionIndex {
    size_t header;
    std::unordered_map<std::string, size_t> keys;  // folded key -> line
  };

  void Reindex();
  // The section's index, or null.
  const SectionIndex* FindSection(const std::string& section) const;
  // One past the section's last line.
  size_t SectionEnd(size_t header) const;
  // The entry's line, or lines_.size().
  size_t FindKey(const std::string& section, const std::string& key) const;
  void Erase(size_t first, size_t last);

  std::vector<Line> lines_;
  std::unordered_map<std::string, SectionIndex> sections_;  // folded name -> first section
};

// Trims spaces and tabs at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace posix
}  // namespace korvex

#endif
