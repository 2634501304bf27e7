#include <stdlib.h>

#include "korvex/paths.h"
#include "korvex/platform.h"

void ReplaceFnameOfPath(CString& result, const char* path, const char* fname) {
  char drive[_MAX_DRIVE];
  char folder[_MAX_DIR];
  char ext[_MAX_EXT];
  _splitpath(path, drive, folder, NULL, ext);
  result.Format("%s%s%s%s", drive, folder, fname ? fname : "", ext);
}
