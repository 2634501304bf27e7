#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>

#include "korvex/types.h"
#include "platform/stdio.h"

namespace korvex {
namespace detail {

// What an open CStdioFile holds. Reading goes through `buffer`; `pos` and
// `end` are the unread bytes in it, which the FILE has already passed.
struct StdioFileState {
  FILE* file = NULL;
  UINT flags = 0;
  char* buffer = NULL;
  size_t pos = 0;
  size_t end = 0;
  enum { kNone, kReading, kWriting } last = kNone;
  bool failed = false;  // a line too long for a string: no further reading
};

}  // namespace detail
}  // namespace korvex

using korvex::detail::StdioFileState;

namespace {

const size_t kBufferSize = 64 * 1024;
const UINT kKnownFlags = CStdioFile::modeWrite | CStdioFile::modeReadWrite | CStdioFile::modeCreate |
                         CStdioFile::modeNoTruncate | CStdioFile::typeText | CStdioFile::typeBinary;

// Shared as fopen shares, with 64-bit positions on every target.
FILE* OpenNative(const char* path, const char* mode) { return _fsopen(path, mode, _SH_DENYNO); }
int64_t Tell(FILE* file) { return _ftelli64(file); }
bool Seek(FILE* file, int64_t offset, int origin) { return _fseeki64(file, offset, origin) == 0; }

bool IsFolder(FILE* file) {
  struct stat info;
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

// The stdio mode for the flags, or NULL for a combination not offered.
const char* ModeOf(UINT flags) {
  if (flags & ~kKnownFlags) return NULL;
  if ((flags & CStdioFile::modeWrite) && (flags & CStdioFile::modeReadWrite)) return NULL;
  if ((flags & CStdioFile::typeText) && (flags & CStdioFile::typeBinary)) return NULL;
  bool write = (flags & CStdioFile::modeWrite) != 0, both = (flags & CStdioFile::modeReadWrite) != 0;
  if (!(flags & CStdioFile::modeCreate)) return write || both ? "r+b" : "rb";
  if (!write && !both) return NULL;  // creating a file only to read it
  if (flags & CStdioFile::modeNoTruncate) return both ? "a+b" : "ab";
  return both ? "w+b" : "wb";
}

bool Readable(const StdioFileState& s) { return !(s.flags & CStdioFile::modeWrite); }
bool Writable(const StdioFileState& s) { return (s.flags & (CStdioFile::modeWrite | CStdioFile::modeReadWrite)) != 0; }
bool Translates(const StdioFileState& s) { return !(s.flags & CStdioFile::typeBinary); }

// ISO C wants a positioning call between output and input; reading picks up
// where the last write ended.
bool StartReading(StdioFileState& s) {
  if (s.last == StdioFileState::kWriting && !Seek(s.file, 0, SEEK_CUR)) return false;
  s.last = StdioFileState::kReading;
  return true;
}

// Writing goes where reading has got to, not where the read-ahead stopped.
bool StartWriting(StdioFileState& s) {
  if (s.last == StdioFileState::kReading) {
    if (!Seek(s.file, -static_cast<int64_t>(s.end - s.pos), SEEK_CUR)) return false;
    s.pos = s.end = 0;
  }
  s.last = StdioFileState::kWriting;
  return true;
}

bool Fill(StdioFileState& s) {
  if (!s.buffer) s.buffer = new char[kBufferSize];
  s.pos = 0;
  s.end = fread(s.buffer, 1, kBufferSize, s.file);
  return s.end > 0;
}

// The buffered bytes before the next "\n", and whether that "\n" is buffered.
size_t BufferedLine(const StdioFileState& s, bool* newline) {
  const char* start = s.buffer + s.pos;
  const char* at = static_cast<const char*>(memchr(start, '\n', s.end - s.pos));
  *newline = at != NULL;
  return at ? static_cast<size_t>(at - start) : s.end - s.pos;
}

// Passes the rest of a line that runs past the buffer. Gives the bytes before
// its "\n" (if it has one) and whether that "\n" was there.
uint64_t SkipRestOfLine(StdioFileState& s, bool* ended, char* lastByte) {
  uint64_t length = 0;
  *ended = false;
  while (s.pos < s.end || Fill(s)) {
    bool newline;
    size_t n = BufferedLine(s, &newline);
    if (n) *lastByte = s.buffer[s.pos + n - 1];
    length += n;
    s.pos += n;
    if (newline) {
      ++s.pos;
      *ended = true;
      break;
    }
  }
  return length;
}

// The bytes kept of a line of `length` bytes: a "\r" before the "\n" goes in text mode.
uint64_t Kept(const StdioFileState& s, uint64_t length, bool ended, char lastByte) {
  return ended && length > 0 && lastByte == '\r' && Translates(s) ? length - 1 : length;
}

// A line longer than the buffer, from a file that can seek: measured first, so
// the string is sized once, and a line no string can hold costs no memory.
BOOL ReadMeasuredLine(StdioFileState& s, int64_t lineStart, CString& line) {
  bool ended;
  char lastByte = 0;
  uint64_t length = SkipRestOfLine(s, &ended, &lastByte);
  uint64_t kept = Kept(s, length, ended, lastByte);
  if (kept > static_cast<uint64_t>(INT_MAX) || !Seek(s.file, lineStart, SEEK_SET)) {
    s.failed = true;
    return FALSE;
  }
  s.pos = s.end = 0;
  size_t n = static_cast<size_t>(kept);
  bool whole = fread(line.GetBufferSetLength(static_cast<int>(n)), 1, n, s.file) == n &&
               Seek(s.file, lineStart + static_cast<int64_t>(length + (ended ? 1 : 0)), SEEK_SET);
  if (!whole) {
    line.Empty();
    s.failed = true;
    return FALSE;
  }
  return TRUE;
}

// A line from a stream that cannot seek (a pipe): copied as it comes.
BOOL ReadStreamedLine(StdioFileState& s, CString& line) {
  uint64_t length = 0;
  char lastByte = 0;
  bool ended = false;
  while (!ended && (s.pos < s.end || Fill(s))) {
    const char* start = s.buffer + s.pos;
    bool newline;
    size_t n = BufferedLine(s, &newline);
    if (length + n > static_cast<uint64_t>(INT_MAX) + 1) {  // one byte more may be a "\r" that goes
      line.Empty();
      s.failed = true;
      return FALSE;
    }
    if (n) {
      int at = static_cast<int>(length);
      memcpy(line.GetBufferSetLength(static_cast<int>(length + n)) + at, start, n);
      lastByte = start[n - 1];
    }
    length += n;
    s.pos += n + (newline ? 1 : 0);
    ended = newline;
  }
  uint64_t kept = Kept(s, length, ended, lastByte);
  if (kept > static_cast<uint64_t>(INT_MAX)) {
    line.Empty();
    s.failed = true;
    return FALSE;
  }
  line.GetBufferSetLength(static_cast<int>(kept));
  return TRUE;
}

}  // namespace

CStdioFile::CStdioFile() : m_state(NULL) {}

CStdioFile::~CStdioFile() { Close(); }

BOOL CStdioFile::Open(const char* path, UINT flags, void* error) {
  (void)error;
  Close();
  const char* mode = ModeOf(flags);
  if (!path || !*path || !mode) return FALSE;
  // Binary streams on every target: the line-end translation is done here, the same everywhere.
  FILE* file = OpenNative(path, mode);
  if (!file) return FALSE;
  // Appending writes still read from the start.
  if (IsFolder(file) || (mode[0] == 'a' && !Seek(file, 0, SEEK_SET))) {
    fclose(file);
    return FALSE;
  }
  m_state = new StdioFileState;
  m_state->file = file;
  m_state->flags = flags;
  return TRUE;
}

BOOL CStdioFile::ReadString(CString& line) {
  line.Empty();
  StdioFileState* s = m_state;
  if (!s || !Readable(*s) || s->failed || !StartReading(*s)) return FALSE;
  if (s->pos == s->end && !Fill(*s)) return FALSE;  // end of file
  bool newline;
  size_t n = BufferedLine(*s, &newline);
  if (!newline) {
    int64_t lineStart = Tell(s->file);
    if (lineStart >= 0) return ReadMeasuredLine(*s, lineStart - static_cast<int64_t>(s->end - s->pos), line);
    return ReadStreamedLine(*s, line);
  }
  // The line is in the buffer: straight into the caller's string, which then
  // needs no allocation when it is reused.
  const char* start = s->buffer + s->pos;
  s->pos += n + 1;
  if (n > 0 && start[n - 1] == '\r' && Translates(*s)) --n;
  memcpy(line.GetBufferSetLength(static_cast<int>(n)), start, n);
  return TRUE;
}

BOOL CStdioFile::WriteString(const char* text) {
  StdioFileState* s = m_state;
  if (!s || !text || !Writable(*s) || !StartWriting(*s)) return FALSE;
  if (!Translates(*s)) {
    size_t n = strlen(text);
    return fwrite(text, 1, n, s->file) == n;
  }
  // Translated through a chunk: one fwrite per chunk, not two per line.
  char chunk[16 * 1024];
  size_t used = 0;
  bool ok = true;
  auto put = [&](const char* bytes, size_t n) {
    while (n) {
      size_t fit = sizeof chunk - used < n ? sizeof chunk - used : n;
      memcpy(chunk + used, bytes, fit);
      used += fit;
      bytes += fit;
      n -= fit;
      if (used == sizeof chunk) {
        if (fwrite(chunk, 1, used, s->file) != used) ok = false;
        used = 0;
      }
    }
  };
  for (;;) {
    const char* newline = strchr(text, '\n');
    size_t n = newline ? static_cast<size_t>(newline - text) : strlen(text);
    put(text, n);
    if (!newline) break;
    put("\r\n", 2);
    text = newline + 1;
  }
  if (used && fwrite(chunk, 1, used, s->file) != used) ok = false;
  return ok;
}

BOOL CStdioFile::Close() {
  StdioFileState* s = m_state;
  if (!s) return TRUE;
  m_state = NULL;
  // Buffered bytes reach the file only now: a full disk shows here.
  bool ok = fclose(s->file) == 0;
  delete[] s->buffer;
  delete s;
  return ok;
}
