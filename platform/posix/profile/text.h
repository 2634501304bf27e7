#ifndef KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H
#define KORVEX_PLATFORM_POSIX_PROFILE_TEXT_H

// A profile file's text as lines, edited in place so that whatever a write does
// not touch (comments, order, spacing of other lines) stays as it was.
//
// Lines end at CR, LF or CR LF. A zero byte ends its line's text, and zero bytes
// at the end of the file are no line. A line longer than kMaxProfileLine is cut
// to that length; of a file cut at the bound of reads, only the whole lines
// before the cut are kept. Only the first section of a name counts, and in it
// the first entry of a key: later ones are kept in the file but never seen.
// Names are hashed, so a lookup costs the same in a file of any size.
//
// The text is kept once; lines are places in it, and edits add their new lines
// at its end, so that parsing allocates nothing per line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvex {
namespace posix {
namespace profile {

constexpr size_t kMaxProfileLine = 64 * 1024;

class ProfileText {
public:
  // `cut`: the content is the start of a longer file.
  explicit ProfileText(std::string content, bool cut = false);

  // False when the file or a line was cut, on reading or by an edit: such a
  // text must not replace its file.
  bool Whole() const { return whole_; }
  // Whether the text holds all that the file has of its section names, or of
  // one section: false only for a cut file, and then for a section that is
  // missing or runs to the cut. A key that is found lies before the cut.
  bool Complete() const { return !cut_; }
  bool Complete(std::string_view section) const;
  std::string Serialize() const;

  std::vector<std::string> SectionNames() const;
  // False when the section is missing.
  bool KeyNames(std::string_view section, std::vector<std::string>* names) const;
  // The section's lines as "key=value" (names and values trimmed, quotes kept),
  // and lines without '=' as they stand; comments and blank lines left out.
  bool SectionLines(std::string_view section, std::vector<std::string>* lines) const;
  // The value as written, trimmed, valid while the text is; none when the key is missing.
  std::optional<std::string_view> RawValue(std::string_view section, std::string_view key) const;
  // The value with its surrounding quotes removed, valid while the text is;
  // false when the key is missing.
  bool Find(std::string_view section, std::string_view key, std::string_view* value) const;

  // Each returns whether the text changed.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  bool RemoveKey(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);
  // Replaces the section's lines by these entries; the section is added at the
  // end when missing.
  bool ReplaceSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);

private:
  enum class Kind : uint8_t { Section, Entry, Other };
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Line {
    uint32_t start;  // in text_
    uint32_t length;
    uint32_t section;  // the line of the section it lies in, or kNone
    Kind kind;
  };

  std::string_view TextOf(const Line& line) const { return std::string_view(text_).substr(line.start, line.length); }
  std::string_view NameOf(const Line& line) const;
  std::string_view ValueOf(const Line& line) const;
  Line MakeLine(std::string_view text);
  // Sets each line's section and rebuilds the hash of names.
  void Reindex();
  // The line of the section, or kNone.
  uint32_t FindSection(std::string_view section) const;
  // One past the section's last line.
  size_t SectionEnd(size_t header) const;
  // The entry's line, or kNone.
  uint32_t FindKey(std::string_view section, std::string_view key) const;
  // The slot of a name: the one of the line holding it, or an empty one.
  size_t FindSlot(uint64_t hash, uint32_t section, Kind kind, std::string_view name) const;
  // Lines with these texts, appended to the text and placed before line `at`.
  void Insert(const std::vector<std::string>& texts, size_t at);
  void Erase(size_t first, size_t last);

  std::string text_;
  std::vector<Line> lines_;
  struct Slot {
    uint32_t line;  // kNone when empty
    uint32_t hash;  // of the name, so that most other names are passed over unread
  };
  std::vector<Slot> slots_;  // open addressing over lines_
  bool whole_;
  bool cut_;
};

// Trims spaces and tabs at both ends.
std::string TrimBlanks(std::string_view text);

}  // namespace profile
}  // namespace posix
}  // namespace korvex

#endif
