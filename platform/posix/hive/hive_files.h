#ifndef KORVEX_PLATFORM_POSIX_HIVE_HIVE_FILES_H
#define KORVEX_PLATFORM_POSIX_HIVE_HIVE_FILES_H

// Where a hive's files live and who may have made them. Whoever can change a
// folder on the way to a hive, or made a file beside it, could hand us a hive
// of their own or read ours: every folder up to the root must be this user's or
// root's and closed to others (unless sticky, as ssh wants its key folders),
// the hive's own folder no link, and every file of the hive a regular file of
// this user's or root's, made here exclusively, with its final mode, when missing.
#include <sys/types.h>

#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {
namespace hive {

// The modes of the folders made for the machine's hive and for a user's.
constexpr mode_t kSharedHiveFolderMode = 0755;
constexpr mode_t kPrivateHiveFolderMode = 0700;
// The files beside a hive, by what each adds to its path: SQLite's log, the
// log's index and the rollback journal; the writers' signal (change_signal.h);
// the shared hive's working file and that file's journal (hive.h).
constexpr char kLogSuffix[] = "-wal";
constexpr char kLogIndexSuffix[] = "-shm";
constexpr char kJournalSuffix[] = "-journal";
constexpr char kSignalSuffix[] = "-writes";
constexpr char kWorkingSuffix[] = "-work";
constexpr char kWorkingJournalSuffix[] = "-work-journal";

// The hive file at the place the environment gives now. Empty when the user has
// no home folder to keep it in.
std::string HivePath(HKEY root);

// Makes the hive's folder (with folderMode) when missing, checks it and every
// folder above it, and gives the hive's path through folders free of links.
// ERROR_ACCESS_DENIED when another user could swap a folder. On failure
// *blocker, when given, names the folder in the way.
LONG LocateHive(const std::string& path, mode_t folderMode, std::string* real, std::string* blocker = nullptr);

// What keeps the hive at `path` from being used, in words for an administrator
// ("the folder /x belongs to another user"); empty when nothing is found.
std::string DescribeHiveObstacle(const std::string& path, mode_t folderMode);

// One file of a hive: ERROR_ACCESS_DENIED when it is a link or another user's,
// ERROR_CANTOPEN when it is not a regular file. A missing file is made with
// `mode` when `create` (and *created set); one of ours that grants more than
// `mode` is narrowed to it.
LONG PrepareHiveFile(const std::string& path, mode_t mode, bool create, bool* created = nullptr);

// This user or root: the only owners a hive's files and folders may have.
bool TrustedOwner(uid_t owner);

}  // namespace hive
}  // namespace posix
}  // namespace korvex

#endif
