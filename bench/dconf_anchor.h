#ifndef KORVEX_BENCH_DCONF_ANCHOR_H
#define KORVEX_BENCH_DCONF_ANCHOR_H

// dconf reading one text from a database compiled for the run: the anchor of
// the registry's reads. Kept apart so GLib's names never meet the Win32 ones.
#include <cstddef>
#include <string>

class DconfAnchor {
public:
  ~DconfAnchor();
  // Compiles a database holding `text` at `key` ("/dir/name") in `folder` and
  // points this process's dconf at it alone; false when that failed.
  bool Open(const std::string& folder, const std::string& key, const std::string& text);
  // Copies the text into `out`, terminated; false when missing or too long.
  bool Read(char* out, size_t size) const;

private:
  struct _DConfClient* client_ = nullptr;
  std::string key_;
};

#endif
