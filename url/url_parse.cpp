#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "korvex/url.h"
#include "text/atoi.h"
#include "url/url_escape.h"
#include "url/url_parse.h"

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

// A stretch of the working copy; empty while no step has set it.
struct Piece {
  const char* text;
  size_t length;
};

// Sets `target` to the bytes, undecoded; an absent piece empties it.
void AssignRaw(CString& target, const Piece& piece) {
  memcpy(target.GetBufferSetLength(static_cast<int>(piece.length)), piece.text, piece.length);
}

void AssignDecoded(CString& target, const Piece& piece) { korvex::UrlDecode(target, piece.text, piece.length); }

// atoi of the text after the ":", keeping the low 16 bits.
unsigned short PortOf(const char* text, size_t length) {
  return static_cast<unsigned short>(korvex::AtoiOf(text, length) & 0xFFFFu);
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
    korvex::UrlDecode(name, pair, equals);
    korvex::UrlDecode(params[name], pair + equals + 1, pairLength - equals - 1);
  }
}

struct Pieces {
  Piece scheme, user, password, path, host, portText;
  unsigned short port;
};

// Steps through the delimiters, each cutting its piece off the text; false at
// a delimiter in first place or with nothing left for the host. Parameters go
// into the map at once; the other pieces are only located.
bool Split(const char* text, size_t length, Pieces& pieces, CMapStringToString& params) {
  size_t at = FindSchemeEnd(text, length);
  if (at == 0) return false;
  if (at != kNotFound) {
    pieces.scheme = Piece{text, at};
    text += at + 3;
    length -= at + 3;
  }

  at = FindFirst(text, length, '@');
  if (at == 0) return false;
  if (at != kNotFound) {
    // A ":" first in the user information stays part of the user name.
    size_t colon = FindFirst(text, at, ':');
    if (colon != kNotFound && colon > 0) {
      pieces.user = Piece{text, colon};
      pieces.password = Piece{text + colon + 1, at - colon - 1};
    } else {
      pieces.user = Piece{text, at};
    }
    text += at + 1;
    length -= at + 1;
  }

  at = FindLast(text, length, '?');
  if (at == 0) return false;
  if (at != kNotFound) {
    ParseQuery(text + at + 1, length - at - 1, params);
    length = at;
  }

  at = FindFirst(text, length, '/');
  if (at == 0) return false;
  if (at != kNotFound) {
    pieces.path = Piece{text + at, length - at};
    length = at;
  }

  at = FindLast(text, length, ':');
  if (at == 0) return false;
  if (at != kNotFound) {
    pieces.portText = Piece{text + at, length - at};
    pieces.port = PortOf(text + at + 1, length - at - 1);
    length = at;
  }

  if (length == 0) return false;
  pieces.host = Piece{text, length};
  return true;
}

}  // namespace

CUrlInfo::CUrlInfo() : m_nPort(0), m_mapParams(10) {}

CUrlInfo::~CUrlInfo() {}

int korvex::ParseUrl(CUrlInfo& record, const char* url, CString* portText) {
  // Work on a copy, so that a text inside this record survives the parse; a
  // typical URL fits the stack.
  const char* source = url ? url : "";
  size_t length = strlen(source);
  if (length > static_cast<size_t>(INT_MAX)) source = "", length = 0;  // no field could hold it: fails as empty text
  char small[512];
  std::string large;
  char* copy = small;
  if (length >= sizeof small) {
    large.assign(source, length);
    copy = &large[0];
  } else {
    memcpy(small, source, length);
  }

  Pieces pieces = {{copy, 0}, {copy, 0}, {copy, 0}, {copy, 0}, {copy, 0}, {copy, 0}, 0};
  bool ok = Split(copy, length, pieces, record.m_mapParams);
  // Every field is set here, which also resets those the text lacks. Decoding
  // comes only after all splitting; a failure leaves what the steps before it
  // found undecoded, and the host empty.
  void (*assign)(CString&, const Piece&) = ok ? AssignDecoded : AssignRaw;
  assign(record.m_strScheme, pieces.scheme);
  assign(record.m_strUser, pieces.user);
  assign(record.m_strPassword, pieces.password);
  assign(record.m_strPath, pieces.path);
  assign(record.m_strHost, pieces.host);
  record.m_nPort = pieces.port;
  if (portText) AssignRaw(*portText, pieces.portText);
  return ok ? 1 : 0;
}

int CUrlInfo::ParseURL(const char* url) { return korvex::ParseUrl(*this, url, NULL); }
