#ifndef KORVEX_PLATFORM_POSIX_COMMON_ERRNO_ERROR_H
#define KORVEX_PLATFORM_POSIX_COMMON_ERRNO_ERROR_H

// The common room of the layer (common/): what the other rooms share, namely
// this errno mapping, the monotonic clock and the bound of lock waits
// (clock.h), the lock of threads and windows (layer_lock.h), descriptors of
// the files it makes (file_descriptor.h), the last error and the
// backslash-to-slash path rule (native_path.h).
//
// The one mapping from errno to Win32 error codes for the calls on files and
// folders of this subset.
#include <string>

#include "korvex/platform.h"

namespace korvex {
namespace posix {

// The Win32 error for an errno of a call on `path` (a native path): a missing
// entry is ERROR_FILE_NOT_FOUND when its folder exists, else
// ERROR_PATH_NOT_FOUND; a full disk ERROR_DISK_FULL, a device's I/O failure
// ERROR_IO_DEVICE; refusals ERROR_ACCESS_DENIED, and anything else `otherwise`
// (a reader or writer of file contents passes ERROR_READ_FAULT or
// ERROR_WRITE_FAULT).
LONG Win32ErrorFromErrno(int error, const std::string& path, LONG otherwise = ERROR_ACCESS_DENIED);

}  // namespace posix
}  // namespace korvex

#endif
