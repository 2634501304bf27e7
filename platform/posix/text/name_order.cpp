#include "platform/posix/text/name_order.h"

#include <unicase.h>
#include <unistr.h>

#include <algorithm>
#include <cstdint>

namespace korvex {
namespace posix {
namespace text {
namespace {

// A byte of a name that is not UTF-8 ranks above every code point.
constexpr uint32_t kForeignByte = 0x110000;

uint32_t AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// The characters of a name as they compare. A name is UTF-8 or not as a
// whole: one stray byte makes every byte of it compare on its own.
class Units {
public:
  explicit Units(std::string_view name)
      : next_(reinterpret_cast<const uint8_t*>(name.data())),
        end_(next_ + name.size()),
        utf8_(u8_check(next_, name.size()) == nullptr) {}

  bool Next(uint32_t* unit) {
    if (next_ == end_) return false;
    if (*next_ < 0x80) {
      *unit = AsciiUpper(*next_++);
    } else if (!utf8_) {
      *unit = kForeignByte + *next_++;
    } else {
      ucs4_t c = 0;
      next_ += u8_mbtouc(&c, next_, end_ - next_);
      *unit = uc_toupper(c);
    }
    return true;
  }

private:
  const uint8_t* next_;
  const uint8_t* end_;
  bool utf8_;
};

// UTF-8's layout, which orders its bytes as the values they encode, stretched
// to the foreign bytes' range (four bytes hold up to 0x1FFFFF).
void AppendOrdered(std::string* out, uint32_t unit) {
  if (unit < 0x80) {
    out->push_back(static_cast<char>(unit));
    return;
  }
  int tail = unit < 0x800 ? 1 : unit < 0x10000 ? 2 : 3;
  static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out->push_back(static_cast<char>(kLead[tail] | (unit >> (6 * tail))));
  for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6)
    out->push_back(static_cast<char>(0x80 | ((unit >> shift) & 0x3F)));
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  // ASCII alone, as most names are, without decoding.
  size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  for (; i < common; ++i) {
    unsigned char x = a[i], y = b[i];
    if ((x | y) >= 0x80) break;
    if (x != y && AsciiUpper(x) != AsciiUpper(y)) return AsciiUpper(x) < AsciiUpper(y) ? -1 : 1;
  }
  // What went before is ASCII: the rest is UTF-8 exactly when the whole is.
  Units left(a.substr(i)), right(b.substr(i));
  for (;;) {
    uint32_t x = 0, y = 0;
    bool more = left.Next(&x);
    if (more != right.Next(&y)) return more ? 1 : -1;
    if (!more) return 0;
    if (x != y) return x < y ? -1 : 1;
  }
}

std::string FoldedName(std::string_view name) {
  // ASCII alone, as most names are, folds in place.
  std::string folded(name);
  size_t i = 0;
  for (; i < folded.size() && static_cast<unsigned char>(folded[i]) < 0x80; ++i)
    folded[i] = static_cast<char>(AsciiUpper(folded[i]));
  if (i == folded.size()) return folded;
  folded.resize(i);
  Units units(name.substr(i));
  for (uint32_t unit = 0; units.Next(&unit);) AppendOrdered(&folded, unit);
  return folded;
}

}  // namespace text
}  // namespace posix
}  // namespace korvex
