#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <string.h>

#include <vector>

#include "korvex/platform.h"
#include "platform/posix/text/composition.h"

namespace {

bool IsHighSurrogate(WCHAR unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(WCHAR unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Counts every byte, stores those that fit; the caller checks Overflowed().
class Output {
public:
  Output(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity), used_(0) {}
  void Put(const char* bytes, size_t count) {
    if (buffer_ && used_ < capacity_) {
      size_t fit = capacity_ - used_ < count ? capacity_ - used_ : count;
      memcpy(buffer_ + used_, bytes, fit);
    }
    used_ += count;
  }
  size_t Used() const { return used_; }
  bool Overflowed() const { return buffer_ && used_ > capacity_; }

private:
  char* buffer_;
  size_t capacity_;
  size_t used_;
};

class Converter {
public:
  Converter(iconv_t cd, const char* replacement, size_t replacementLength, Output& out)
      : cd_(cd), replacement_(replacement), replacementLength_(replacementLength), out_(out), replaced_(false) {}

  bool Replaced() const { return replaced_; }

  void Replace() {
    out_.Put(replacement_, replacementLength_);
    replaced_ = true;
  }

  // A run of well-formed UTF-16: converted in bulk, and one character at a
  // time past any character that the target set lacks.
  void ConvertRun(const WCHAR* units, size_t count) {
    while (count > 0) {
      unsigned char bytes[512];
      size_t take = count < sizeof bytes / 2 ? count : sizeof bytes / 2;
      if (take < count && IsHighSurrogate(units[take - 1])) --take;  // keep pairs whole
      for (size_t i = 0; i < take; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
      }
      char* in = reinterpret_cast<char*>(bytes);
      size_t inLeft = take * 2;
      while (inLeft > 0) {
        char chunk[1024];
        char* outPtr = chunk;
        size_t outLeft = sizeof chunk;
        size_t result = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        out_.Put(chunk, sizeof chunk - outLeft);
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ (or anything else): the character at the input position is not in the set.
        size_t at = (static_cast<size_t>(in - reinterpret_cast<char*>(bytes))) / 2;
        size_t width = IsHighSurrogate(units[at]) ? 2 : 1;
        Replace();
        in += 2 * width;
        inLeft -= 2 * width;
      }
      units += take;
      count -= take;
    }
  }

  // Writes the shift sequence that returns a stateful set to its initial state.
  void Finish() {
    char chunk[64];
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out_.Put(chunk, sizeof chunk - outLeft);
  }

private:
  iconv_t cd_;
  const char* replacement_;
  size_t replacementLength_;
  Output& out_;
  bool replaced_;
};

size_t CountUnits(LPCWSTR text, int count) {
  if (count >= 0) return static_cast<size_t>(count);
  size_t n = 0;
  while (text[n]) ++n;
  return n + 1;  // the terminator is converted too
}

bool InCodePage(iconv_t cd, WCHAR unit) {
  char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  char converted[16];
  char* in = bytes;
  char* out = converted;
  size_t inLeft = sizeof bytes, outLeft = sizeof converted;
  bool held = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return held;
}

// WC_COMPOSITECHECK: a character and the combining marks after it become the
// precomposed character where the code page holds one; otherwise they stay apart.
std::vector<WCHAR> Precomposed(iconv_t cd, LPCWSTR text, size_t count) {
  std::vector<WCHAR> result;
  result.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    WCHAR composed = result.empty() ? 0 : korvex::posix::text::Composed(result.back(), text[i]);
    if (composed && InCodePage(cd, composed))
      result.back() = composed;
    else
      result.push_back(text[i]);
  }
  return result;
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int wideCount, LPSTR multiByteText,
                        int multiByteSize, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!wideText || wideCount == 0 || wideCount < -1 || multiByteSize < 0 || (multiByteSize > 0 && !multiByteText) ||
      (codePage != CP_ACP && codePage != CP_UTF8)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool utf8 = codePage == CP_UTF8;
  if (utf8 && (defaultChar || usedDefaultChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (utf8 ? (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0
           : (flags & ~static_cast<DWORD>(WC_COMPOSITECHECK | WC_DEFAULTCHAR)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  iconv_t cd = iconv_open(utf8 ? "UTF-8" : nl_langinfo(CODESET), "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  // UTF-8 has every character, so only lone surrogates are replaced there, by U+FFFD.
  static const char kReplacementCharacter[] = "\xEF\xBF\xBD";
  const char* replacement = utf8 ? kReplacementCharacter : (defaultChar ? defaultChar : "?");
  size_t replacementLength = utf8 ? 3 : 1;

  Output out(multiByteText, static_cast<size_t>(multiByteSize));
  Converter converter(cd, replacement, replacementLength, out);
  size_t count = CountUnits(wideText, wideCount);
  std::vector<WCHAR> precomposed;
  if (flags & WC_COMPOSITECHECK) {
    precomposed = Precomposed(cd, wideText, count);
    wideText = precomposed.data();
    count = precomposed.size();
  }
  size_t start = 0;
  bool invalid = false;
  for (size_t i = 0; i < count;) {
    bool pair = IsHighSurrogate(wideText[i]) && i + 1 < count && IsLowSurrogate(wideText[i + 1]);
    if (pair) {
      i += 2;
    } else if (IsHighSurrogate(wideText[i]) || IsLowSurrogate(wideText[i])) {
      converter.ConvertRun(wideText + start, i - start);
      converter.Replace();
      invalid = true;
      start = ++i;
    } else {
      ++i;
    }
  }
  converter.ConvertRun(wideText + start, count - start);
  converter.Finish();
  iconv_close(cd);

  if (utf8 && invalid && (flags & WC_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (usedDefaultChar) *usedDefaultChar = converter.Replaced() ? TRUE : FALSE;
  if (out.Overflowed()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (out.Used() > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<int>(out.Used());
}
