#include "bench/dconf_anchor.h"

#include <dconf.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

DconfAnchor::~DconfAnchor() {
  if (client_) g_object_unref(client_);
}

bool DconfAnchor::Open(const std::string& folder, const std::string& key, const std::string& text) {
  std::error_code error;
  const std::string keyfiles = folder + "/keyfiles", databases = folder + "/dconf", runtime = folder + "/run";
  for (const std::string& made : {keyfiles, databases, runtime}) std::filesystem::create_directories(made, error);
  const size_t slash = key.rfind('/');
  std::ofstream(keyfiles + "/bench") << "[" << key.substr(1, slash - 1) << "]\n"
                                     << key.substr(slash + 1) << "='" << text << "'\n";
  const std::string compile = "dconf compile " + databases + "/bench " + keyfiles;
  if (std::system(compile.c_str()) != 0) return false;
  // A profile of one user database, which dconf looks for in
  // $XDG_CONFIG_HOME/dconf; its change flag takes the same name in
  // $XDG_RUNTIME_DIR/dconf, so that folder must be another.
  std::ofstream(folder + "/profile") << "user-db:bench\n";
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("DCONF_PROFILE", (folder + "/profile").c_str(), 1);
  client_ = dconf_client_new();
  key_ = key;
  char check[256];
  return Read(check, sizeof check) && text == check;
}

bool DconfAnchor::Read(char* out, size_t size) const {
  GVariant* value = dconf_client_read(client_, key_.c_str());
  if (!value) return false;
  bool fits = false;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    gsize length = 0;
    const gchar* text = g_variant_get_string(value, &length);
    fits = length < size;
    if (fits) memcpy(out, text, length + 1);
  }
  g_variant_unref(value);
  return fits;
}
