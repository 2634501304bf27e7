#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "korvex/platform.h"
#include "platform/posix/common/errno_error.h"
#include "platform/posix/files/file_attributes.h"
#include "platform/posix/files/find_pattern.h"
#include "platform/posix/common/native_path.h"

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
const int64_t kEpochDifference = 11644473600LL;

// What a search handle points to. `dir` is NULL for a search of one named entry.
struct FindSearch {
  DIR* dir;
  std::string folder;
  std::string pattern;
};

FILETIME FileTimeOf(const struct timespec& time) {
  int64_t seconds = static_cast<int64_t>(time.tv_sec) + kEpochDifference;
  uint64_t ticks =
      seconds < 0 ? 0 : static_cast<uint64_t>(seconds) * 10000000u + static_cast<uint64_t>(time.tv_nsec) / 100u;
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(ticks);
  result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return result;
}

// Fills the record for `name` inside `folder`; false when the entry is gone.
bool FillFindData(const std::string& folder, const char* name, LPWIN32_FIND_DATAA data) {
  std::string path = folder == "/" ? "/" + std::string(name) : folder + "/" + name;
  struct stat info;
  // A dangling link is still an entry: report the link itself.
  if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return false;
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = korvex::posix::files::FileAttributesOf(info, name);
  data->ftLastWriteTime = FileTimeOf(info.st_mtim);
  data->ftCreationTime = data->ftLastWriteTime;
  data->ftLastAccessTime = FileTimeOf(info.st_atim);
  if (!S_ISDIR(info.st_mode)) {
    uint64_t size = static_cast<uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
  }
  strncpy(data->cFileName, name, MAX_PATH - 1);
  return true;
}

// Reads on to the next entry that matches and still exists.
bool NextMatch(FindSearch* search, LPWIN32_FIND_DATAA data) {
  while (struct dirent* entry = readdir(search->dir)) {
    if (korvex::posix::files::MatchesFindPattern(search->pattern, entry->d_name) &&
        FillFindData(search->folder, entry->d_name, data))
      return true;
  }
  return false;
}

HANDLE Fail(LONG error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

bool IsSearchHandle(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

}  // namespace

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  if (!fileName || !findData) return Fail(ERROR_INVALID_PARAMETER);
  std::string path = korvex::posix::NativePath(fileName);
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  // Like Win32, a path that ends in a separator names no entry.
  if (pattern.empty()) return Fail(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);

  if (!korvex::posix::files::HasWildcards(pattern)) {
    if (!FillFindData(folder, pattern.c_str(), findData)) return Fail(korvex::posix::Win32ErrorFromErrno(errno, path));
    return new FindSearch{nullptr, folder, pattern};
  }

  DIR* dir = opendir(folder.c_str());
  if (!dir) return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : korvex::posix::Win32ErrorFromErrno(errno, folder));
  FindSearch* search = new FindSearch{dir, folder, pattern};
  if (!NextMatch(search, findData)) {
    FindClose(search);
    return Fail(ERROR_FILE_NOT_FOUND);
  }
  return search;
}

BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData) {
  if (!IsSearchHandle(findFile) || !findData) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FindSearch* search = static_cast<FindSearch*>(findFile);
  if (!search->dir || !NextMatch(search, findData)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE findFile) {
  if (!IsSearchHandle(findFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FindSearch* search = static_cast<FindSearch*>(findFile);
  if (search->dir) closedir(search->dir);
  delete search;
  return TRUE;
}
