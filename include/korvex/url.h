#ifndef KORVEX_URL_H
#define KORVEX_URL_H

#include "korvex/export.h"
#include "korvex/types.h"

// A URL record in the form
//   [scheme "://"] [user [":" password] "@"] host [":" port] ["/" path]
//   ["?" name "=" value {"&" name "=" value}]
// The text members hold decoded text; m_nPort 0 means no port.
class KORVEX_API CUrlInfo {
public:
  CUrlInfo();
  virtual ~CUrlInfo();
  // The parameter map cannot be copied.
  CUrlInfo(const CUrlInfo&) = delete;
  CUrlInfo& operator=(const CUrlInfo&) = delete;

  // Positional parse: the delimiters are searched in a fixed order in what the
  // earlier steps left, and components are decoded ("+" a space, "%XX" a byte)
  // only after all splitting. 0 on malformed text, and on text longer than a
  // string holds (INT_MAX bytes); the record is then unusable (it keeps what
  // the earlier steps assigned, undecoded). Parameters already in the map stay
  // unless the text sets the same name. Check untrusted text first:
  // - the user information ends at the first "@" anywhere in the text, in a
  //   path or query value too;
  // - a host in brackets ("[::1]:80") is still split at its last ":".
  int ParseURL(const char* url);
  // Writes the record as URL text, escaping space, "%", "&", "/", ":", "?" and
  // "@" in every component but the scheme. 1, or 0 with `url` empty when the
  // text would be longer than a string holds (INT_MAX bytes).
  int MakeURL(CString& url) const;

  CString m_strScheme;
  CString m_strUser;
  CString m_strPassword;
  CString m_strHost;
  unsigned short m_nPort;
  CString m_strPath;
  CMapStringToString m_mapParams;
};

#endif
