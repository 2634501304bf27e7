#include "url/launchers.h"

#include "platform/mbstring.h"

namespace korvex {

namespace {

const Launcher kLaunchers[] = {
    {"xdm", "Quellbar", LaunchParameters::kDisplayQuery}, {"xdmcp", "Quellbar", LaunchParameters::kDisplayQuery},
    {"ssh", "Torvik", LaunchParameters::kWholeUrl},       {"telnet", "Torvik", LaunchParameters::kWholeUrl},
    {"rlogin", "Torvik", LaunchParameters::kWholeUrl},    {"ftp", "Skiv", LaunchParameters::kWholeUrl},
    {"sftp", "Skiv", LaunchParameters::kWholeUrl},
};

}  // namespace

const Launcher* LauncherTable::begin() const { return kLaunchers; }
const Launcher* LauncherTable::end() const { return kLaunchers + sizeof kLaunchers / sizeof kLaunchers[0]; }

const Launcher* FindLauncher(const CString& scheme) {
  const unsigned char* text = reinterpret_cast<const unsigned char*>(static_cast<const char*>(scheme));
  for (const Launcher& launcher : LauncherTable())
    if (_mbsicmp(text, reinterpret_cast<const unsigned char*>(launcher.scheme)) == 0) return &launcher;
  return NULL;
}

}  // namespace korvex
