#ifndef KORVEX_URL_H
#define KORVEX_URL_H

/// @file
/// The URL record, module loading, finding a product and launching it.
#include "korvex/export.h"
#include "korvex/platform.h"
#include "korvex/types.h"

/// @defgroup url URLs, modules and launching
/// A URL record with a positional parser and a writer with percent-encoding;
/// loading a module and reading its version; finding a product's program and
/// starting the product that serves a URL's scheme.
/// @{

/// A URL record in the form
///   [scheme "://"] [user [":" password] "@"] host [":" port] ["/" path]
///   ["?" name "=" value {"&" name "=" value}]
/// The text members hold decoded text; m_nPort 0 means no port.
class KORVEX_API CUrlInfo {
public:
  /// An empty record: empty texts, no port, no parameters.
  CUrlInfo();
  /// Releases the record.
  virtual ~CUrlInfo();
  /// The parameter map cannot be copied.
  CUrlInfo(const CUrlInfo&) = delete;
  CUrlInfo& operator=(const CUrlInfo&) = delete;

  /// Positional parse: the delimiters are searched in a fixed order in what the
  /// earlier steps left, and components are decoded ("+" a space, "%XX" a byte)
  /// only after all splitting. 0 on malformed text, and on text longer than a
  /// string holds (INT_MAX bytes); the record is then unusable (it keeps what
  /// the earlier steps assigned, undecoded). Parameters already in the map stay
  /// unless the text sets the same name. Check untrusted text first:
  /// - the user information ends at the first "@" anywhere in the text, in a
  ///   path or query value too;
  /// - a host in brackets ("[::1]:80") is still split at its last ":".
  int ParseURL(const char* url);
  /// Writes the record as URL text, escaping space, "%", "&", "/", ":", "?" and
  /// "@" in every component but the scheme. 1, or 0 with `url` empty when the
  /// text would be longer than a string holds (INT_MAX bytes).
  int MakeURL(CString& url) const;

  CString m_strScheme;             ///< "ssh", without "://".
  CString m_strUser;               ///< The user name.
  CString m_strPassword;           ///< The password.
  CString m_strHost;               ///< The host name or address.
  unsigned short m_nPort;          ///< The port; 0 for none.
  CString m_strPath;               ///< The path with its leading "/", as "/srv/logs".
  CMapStringToString m_mapParams;  ///< The query's values by name; read them with Lookup.
};

/// A module (a DLL, a shared object on POSIX) loaded for the object's lifetime.
///
/// Copies share the module without taking a reference of their own, so only one
/// object may free it: the one that loaded it. A copy (made by construction or
/// by assignment) therefore never frees the module, whatever the source's free
/// flag says, and must not be used after the loading object is gone. Assigning
/// to an object that loaded a module with the free flag first frees that module
/// (as its destructor would), unless the source holds the same handle.
class KORVEX_API CDllLoader {
public:
  /// LoadLibraryA on the path; a failure leaves the handle NULL. A nonzero
  /// autoFree makes the destructor free the module.
  CDllLoader(const char* path, int autoFree);
  /// Frees the module when this object loaded it with the free flag.
  virtual ~CDllLoader();
  /// @{
  /// Shares the source's module (see the class notes).
  CDllLoader(const CDllLoader& other);
  CDllLoader& operator=(const CDllLoader& other);
  /// @}

  /// 1 when the module is loaded.
  int IsLoaded();
  /// The export of that name; NULL when there is none or nothing is loaded.
  FARPROC GetProcAddress(const char* name);
  /// The module's version through its own DllGetVersion export, packed as the
  /// major version in the low 16 bits and the minor version in the high 16 bits.
  /// 0, with *version untouched, when the export is missing or reports failure.
  int GetVersion(unsigned long* version);

protected:
  HMODULE m_hModule;  ///< The module, or NULL.
  int m_bAutoFree;    ///< Nonzero: the destructor frees the module.
};

/// Finds a product's executable (`product` is its base name, "Torvik" say):
/// beside the calling program with the program's own extension (result 3),
/// else the folder in `HKEY_LOCAL_MACHINE\Software\Quorvanta\<product>\<version>`
/// ("Path"), else the suite's folder (`Software\Quorvanta\Vantoria\<version>`)
/// when the product's file is there. A registry result is the leading number of
/// the version text. 0 when the product is not found; `path` is then not
/// meaningful. The product's own key is trusted without looking for the file.
/// @windiff The program's name is the product's name with the
/// platform's executable suffix: none on Linux, so the product `Torvik` is a
/// file named `Torvik`, beside the caller or in the registered folder.
KORVEX_API unsigned int GetProductPath(const char* product, CString& path);

/// Starts the product that serves the URL's scheme, without waiting for it:
///   "xdm", "xdmcp"            Quellbar  ":[0] -query <host>"
///   "ssh", "telnet", "rlogin" Torvik    "-url <the record written by MakeURL>"
///   "ftp", "sftp"             Skiv      "-url <the record written by MakeURL>"
/// Schemes match case-insensitively. 1 when the shell reports the product
/// started, 0 for text that does not parse, a scheme outside the table, a
/// product not found, or a failed start.
///
/// The parameter text is not quoted, and the started product splits it by the
/// platform's command-line rules. A URL from an untrusted source can therefore
/// smuggle in arguments of its own: "xdmcp://a%20-b" starts Quellbar with
/// ":[0] -query a -b", and a tab, a quote or another control byte in any field
/// splits a "-url" text the same way. Check such URLs with IsSafeToLaunch first.
/// @name ExecuteURL
/// @{

/// The URL as text, or as a record.
KORVEX_API int ExecuteURL(const char* url);
KORVEX_API int ExecuteURL(const CUrlInfo& url);
/// @}

/// 1 when ExecuteURL serves the record's scheme and no field that reaches the
/// started product's parameters (the host for "xdm" and "xdmcp", every field for
/// the others) holds a control byte, a blank or a quote, or begins with "-".
/// Such a record reaches the product as exactly the arguments the table shows.
KORVEX_API int IsSafeToLaunch(const CUrlInfo& url);
/// The same for URL text: 0 when it does not parse, and also when it names a
/// port other than 1 to 65535 in plain decimal digits, which the record would
/// keep only the low 16 bits of ("ssh://h:99999" would reach port 34463).
KORVEX_API int IsSafeToLaunch(const char* url);

/// @}

#endif
