// Stands in for a product: writes its arguments, each ended by a zero byte, to
// the file KORVEX_RECORD_FILE names, whole by a rename.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

int main(int argc, char** argv) {
  const char* target = getenv("KORVEX_RECORD_FILE");
  if (!target || !*target) return 2;
  std::string partial = std::string(target) + ".part";
  FILE* file = fopen(partial.c_str(), "wb");
  if (!file) return 1;
  for (int i = 1; i < argc; ++i) fwrite(argv[i], 1, strlen(argv[i]) + 1, file);
  if (fclose(file) != 0) return 1;
  return rename(partial.c_str(), target) == 0 ? 0 : 1;
}
