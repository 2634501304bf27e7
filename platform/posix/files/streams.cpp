// The runtime's stream calls by their Windows names.
#include "korvex/platform.h"
#include "platform/posix/common/native_path.h"

FILE* _fsopen(const char* fileName, const char* mode, int) {
  return fopen(korvex::posix::NativePath(fileName).c_str(), mode);
}

long long _ftelli64(FILE* stream) { return ftello(stream); }

int _fseeki64(FILE* stream, long long offset, int origin) { return fseeko(stream, static_cast<off_t>(offset), origin); }
