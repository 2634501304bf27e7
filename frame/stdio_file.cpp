#include <string.h>
#include <sys/stat.h>

#include "korvex/types.h"

#if !defined(_WIN32)
#include "platform/posix/native_path.h"
#endif

namespace {

const size_t kBufferSize = 64 * 1024;

FILE* OpenNative(const char* path, const char* mode) {
#if defined(_WIN32)
  return fopen(path, mode);
#else
  return fopen(korvex::posix::NativePath(path).c_str(), mode);
#endif
}

bool IsFolder(FILE* file) {
  struct stat info;
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

CStdioFile::CStdioFile() : m_file(NULL), m_buffer(NULL), m_pos(0), m_end(0) {}

CStdioFile::~CStdioFile() { Close(); }

BOOL CStdioFile::Open(const char* path, UINT flags, void* error) {
  (void)error;
  Close();
  if (!path || !*path) return FALSE;
  // Binary streams on every target: the line-end translation is done here, the same everywhere.
  const char* mode = "rb";
  if (flags & modeCreate) mode = (flags & modeNoTruncate) ? "ab" : (flags & modeReadWrite) ? "w+b" : "wb";
  else if (flags & (modeWrite | modeReadWrite)) mode = "r+b";
  m_file = OpenNative(path, mode);
  if (!m_file) return FALSE;
  if (IsFolder(m_file)) {
    Close();
    return FALSE;
  }
  return TRUE;
}

BOOL CStdioFile::Fill() {
  if (!m_buffer) m_buffer = new char[kBufferSize];
  m_pos = 0;
  m_end = fread(m_buffer, 1, kBufferSize, m_file);
  return m_end > 0;
}

BOOL CStdioFile::ReadString(CString& line) {
  line.Empty();
  if (!m_file) return FALSE;
  bool gotAny = false;
  int length = 0;
  for (;;) {
    if (m_pos == m_end && !Fill()) break;
    gotAny = true;
    const char* start = m_buffer + m_pos;
    const char* newline = static_cast<const char*>(memchr(start, '\n', m_end - m_pos));
    size_t n = newline ? static_cast<size_t>(newline - start) : m_end - m_pos;
    // Straight into the caller's string: a reused string then needs no allocation.
    if (n) {
      memcpy(line.GetBufferSetLength(length + static_cast<int>(n)) + length, start, n);
      length += static_cast<int>(n);
    }
    m_pos += n;
    if (newline) {
      ++m_pos;
      if (length > 0 && line[length - 1] == '\r') line.GetBufferSetLength(length - 1);
      return TRUE;
    }
  }
  // The last line may have no line end; a lone "\r" before the end belongs to it.
  return gotAny ? TRUE : FALSE;
}

BOOL CStdioFile::WriteString(const char* text) {
  if (!m_file || !text) return FALSE;
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
        if (fwrite(chunk, 1, used, m_file) != used) ok = false;
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
  if (used && fwrite(chunk, 1, used, m_file) != used) ok = false;
  return ok;
}

void CStdioFile::Close() {
  if (m_file) fclose(m_file);
  m_file = NULL;
  delete[] m_buffer;
  m_buffer = NULL;
  m_pos = m_end = 0;
}
