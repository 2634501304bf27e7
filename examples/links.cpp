// Links: parse a URL, refuse one that is not safe to launch, and start the
// registered product for one that is.
//   links [FOLDER]   registers FOLDER as the folder of the product Torvik
//                    first, as its installer would (needs write access to
//                    HKEY_LOCAL_MACHINE)
#include <korvex/korvex.h>
#include <stdio.h>
#include <string.h>

// What an installer does: HKEY_LOCAL_MACHINE\Software\Quorvanta\Torvik\<version>
// holds the program's folder ("Path") and, for Torvik, its "Version".
static int RegisterTorvik(const char* folder) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvanta\\Torvik\\4", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                      NULL) != ERROR_SUCCESS)
    return 0;
  LONG result = RegSetValueExA(key, "Path", 0, REG_SZ, (const BYTE*)folder, (DWORD)strlen(folder) + 1);
  if (result == ERROR_SUCCESS) result = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)"4.2", 4);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

int main(int argc, char** argv) {
  CUrlInfo url;
  if (!url.ParseURL("ssh://admin@host.example:2222/srv/logs?tail=100&follow=1")) return 1;
  CString tail;
  url.m_mapParams.Lookup("tail", tail);
  printf("parsed: scheme %s, user %s, host %s, port %u, path %s, tail %s\n", static_cast<const char*>(url.m_strScheme),
         static_cast<const char*>(url.m_strUser), static_cast<const char*>(url.m_strHost), url.m_nPort,
         static_cast<const char*>(url.m_strPath), static_cast<const char*>(tail));
  CString text;
  url.MakeURL(text);
  printf("written: %s\n", static_cast<const char*>(text));

  // The host would reach the product as two more arguments.
  const char* smuggled = "xdmcp://host%20-query%20elsewhere";
  printf("%s: %s\n", smuggled, IsSafeToLaunch(smuggled) ? "safe" : "refused");
  if (!IsSafeToLaunch(url)) return 1;

  if (argc > 1 && !RegisterTorvik(argv[1])) return 1;
  CString path;
  unsigned int version = GetProductPath("Torvik", path);
  if (!version) {
    printf("Torvik is not installed\n");
    return 1;
  }
  printf("Torvik %u found\n", version);
  if (!ExecuteURL(url)) return 1;
  printf("Torvik started for %s\n", static_cast<const char*>(text));
  return 0;
}
