#include <string.h>

#include "korvex/url.h"
#include "url/url_escape.h"

namespace {

const size_t kNotFound = static_cast<size_t>(-1);

size_t FindFirst(const char* text, size_t length, char c) {
  const void* hit = memchr(text, c, length);
  return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text) : kNotFound;
}

size_t FindLast(const char* text, size_t length, char c) {
  for (size_t i = length; i-- > 0;)
    if (text[i] == c) return i;
  return kNotFound;
}

size_t FindSchemeEnd(const char* text, size_t length) {
  for (size_t at = FindFirst(text, length, ':'); at != kNotFound;) {
    if (length - at >= 3 && text[at + 1] == '/' && text[at + 2] == '/') return at;
    size_t next = FindFirst(text + at + 1, length - at - 1, ':');
    at = next == kNotFound ? kNotFound : at + 1 + next;
  }
  return kNotFound;
}

// Sets `target` to the bytes without an intermediate copy.
void Assign(CString& target, const char* text, size_t length) {
  memcpy(target.GetBufferSetLength(static_cast<int>(length)), text, length);
}

bool IsAtoiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The runtime's atoi, bounded by `length`: white space, a sign, digits. The
// value wraps in 32 bits; the port keeps its low 16 bits.
unsigned short PortOf(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && IsAtoiSpace(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<unsigned short>(value & 0xFFFFu);
}

// Splits the query into "&"-separated pairs; a "&" at the front does not
// separate, so the rest becomes one pair. Pairs without a name are dropped.
void ParseQuery(const char* query, size_t length, CMapStringToString& params) {
  while (length > 0) {
    size_t amp = FindFirst(query, length, '&');
    size_t pairLength = amp != kNotFound && amp > 0 ? amp : length;
    const char* pair = query;
    size_t consumed = pairLength < length ? pairLength + 1 : length;
    query += consumed;
    length -= consumed;

    size_t equals = FindFirst(pair, pairLength, '=');
    if (equals == kNotFound || equals == 0) continue;
    CString name;
    Assign(name, pair, equals);
    korvex::UrlDecode(name);
    CString& value = params[name];
    Assign(value, pair + equals + 1, pairLength - equals - 1);
    korvex::UrlDecode(value);
  }
}

}  // namespace

CUrlInfo::CUrlInfo() : m_nPort(0), m_mapParams(10) {}

CUrlInfo::~CUrlInfo() {}

int CUrlInfo::ParseURL(const char* url) {
  m_strScheme.Empty();
  m_strUser.Empty();
  m_strPassword.Empty();
  m_strHost.Empty();
  m_strPath.Empty();
  m_nPort = 0;

  // [text, text + length) is what is left of the URL after each step.
  const char* text = url ? url : "";
  size_t length = strlen(text);

  size_t at = FindSchemeEnd(text, length);
  if (at == 0) return 0;
  if (at != kNotFound) {
    Assign(m_strScheme, text, at);
    text += at + 3;
    length -= at + 3;
  }

  at = FindFirst(text, length, '@');
  if (at == 0) return 0;
  if (at != kNotFound) {
    // A ":" first in the user information stays part of the user name.
    size_t colon = FindFirst(text, at, ':');
    if (colon != kNotFound && colon > 0) {
      Assign(m_strUser, text, colon);
      Assign(m_strPassword, text + colon + 1, at - colon - 1);
    } else {
      Assign(m_strUser, text, at);
    }
    text += at + 1;
    length -= at + 1;
  }

  at = FindLast(text, length, '?');
  if (at == 0) return 0;
  if (at != kNotFound) {
    ParseQuery(text + at + 1, length - at - 1, m_mapParams);
    length = at;
  }

  at = FindFirst(text, length, '/');
  if (at == 0) return 0;
  if (at != kNotFound) {
    Assign(m_strPath, text + at, length - at);
    length = at;
  }

  at = FindLast(text, length, ':');
  if (at == 0) return 0;
  if (at != kNotFound) {
    m_nPort = PortOf(text + at + 1, length - at - 1);
    length = at;
  }

  if (length == 0) return 0;
  Assign(m_strHost, text, length);

  korvex::UrlDecode(m_strScheme);
  korvex::UrlDecode(m_strHost);
  korvex::UrlDecode(m_strUser);
  korvex::UrlDecode(m_strPassword);
  korvex::UrlDecode(m_strPath);
  return 1;
}
