// Where a hive lives and what stands in its way, for messages to administrators.
#include <cstring>
#include <string>

#include "platform/posix/hive/hive_files.h"

DWORD KorvexDescribeHive(HKEY root, LPSTR text, DWORD size) {
  namespace hive = korvex::posix::hive;
  if (root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE) return 0;
  std::string path = hive::HivePath(root);
  std::string words = path.empty() ? "no home folder to keep the hive in" : path;
  mode_t folderMode = root == HKEY_LOCAL_MACHINE ? hive::kSharedHiveFolderMode : hive::kPrivateHiveFolderMode;
  std::string obstacle = path.empty() ? "" : hive::DescribeHiveObstacle(path, folderMode);
  if (!obstacle.empty()) words += ": " + obstacle;
  if (text && size > 0) {
    size_t kept = words.size() < size ? words.size() : size - 1;
    memcpy(text, words.data(), kept);
    text[kept] = '\0';
  }
  return static_cast<DWORD>(words.size());
}
