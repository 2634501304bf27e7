// korvex: a small command-line front end to the library.
#include <stdio.h>
#include <string.h>

#include <string>

#include "korvex/korvex.h"
#include "tools/demo.h"

namespace {

int Usage() {
  fputs("usage: korvex demo [FOLDER]\n"
        "       korvex base64 encode TEXT | decode TEXT\n"
        "       korvex url URL\n"
        "       korvex ini FILE SECTION KEY\n"
        "       korvex path BASE NAME\n",
        stderr);
  return 2;
}

int Base64(const char* mode, const char* text) {
  if (strcmp(mode, "encode") == 0) {
    CString out;
    CBase64::Encode(reinterpret_cast<const unsigned char*>(text), static_cast<unsigned int>(strlen(text)), out);
    printf("%s\n", static_cast<const char*>(out));
    return 0;
  }
  if (strcmp(mode, "decode") == 0) {
    CBuffer out;
    int result = CBase64::Decode(text, out);
    fwrite(out.Ptr() ? out.Ptr() : reinterpret_cast<const unsigned char*>(""), 1, out.Len(), stdout);
    printf("\n");
    return result == 1 ? 0 : 1;
  }
  return Usage();
}

int Url(const char* text) {
  CUrlInfo url;
  if (!url.ParseURL(text)) {
    fprintf(stderr, "korvex: not a URL: %s\n", text);
    return 1;
  }
  korvex_tool::PrintUrl(url);
  return 0;
}

int Ini(const char* file, const char* section, const char* key) {
  CIniFile ini;
  if (!ini.Read(file)) {
    fprintf(stderr, "korvex: cannot read %s\n", file);
    return 1;
  }
  CString value = ini.GetValue(section, key, static_cast<const char*>(NULL));
  printf("%s\n", static_cast<const char*>(value));
  return 0;
}

int Path(const char* base, const char* name) {
  CString path(base);
  if (!AppendPathEx(path, name)) {
    fprintf(stderr, "korvex: %s is not an absolute path\n", base);
    return 1;
  }
  printf("%s\n", static_cast<const char*>(path));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "demo" && argc <= 3) return korvex_tool::RunDemo(argc == 3 ? argv[2] : "korvex-demo");
  if (command == "base64" && argc == 4) return Base64(argv[2], argv[3]);
  if (command == "url" && argc == 3) return Url(argv[2]);
  if (command == "ini" && argc == 5) return Ini(argv[2], argv[3], argv[4]);
  if (command == "path" && argc == 4) return Path(argv[2], argv[3]);
  return Usage();
}
