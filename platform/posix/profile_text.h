#ifndef KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H
#define KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H

// A profile file's text as lines, edited in place so that whatever a write does
// not touch (comments, order, spacing of other lines) stays as it was.
#include <string>
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
  // The value with its surrounding quotes removed; false when the key is missing.
  bool Find(const std::string& section, const std::string& key, std::string* value) const;

  // Each returns whether the text changed.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  bool RemoveKey(const std::string& section, const std::string& key);
  bool RemoveSection(const std::string& section);

 private:
  enum class Kind { Section, Entry, Other };
  struct Line {
    Kind kind;
    std::string text;   // as in the file
    std::string name;   // section or key name, trimmed
    std::string value;  // entry value, trimmed
  };

  // Index of the section's header, or lines_.size().
  size_t FindSection(const std::string& section) const;
  // One past the section's last line.
  size_t SectionEnd(size_t header) const;
  size_t FindKey(size_t header, const std::string& key) const;

  std::vector<Line> lines_;
};

// Trims spaces and tabs at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace posix
}  // namespace korvex

#endif
