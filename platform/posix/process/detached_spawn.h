#ifndef KORVEX_PLATFORM_POSIX_PROCESS_DETACHED_SPAWN_H
#define KORVEX_PLATFORM_POSIX_PROCESS_DETACHED_SPAWN_H

// The process room of the layer (process/): modules on dlopen, the program's
// own path, the Windows command-line rules (command_line.h), the shell folders
// (shell_folder.h) and ShellExecuteA, which starts programs through this spawn.

namespace korvex {
namespace posix {
namespace process {

// Starts the program at `path` with `argv` (NULL-terminated) and the caller's
// environment, in `directory` when it is not NULL, and returns once the
// program has replaced the new process or failed to: true when it runs, else
// false with errno set to that of the failed step. The program is the caller's child, but a thread
// of this layer reaps it when it ends, so no zombie stays and the caller need
// not wait. It runs in a process group of its own (the terminal's signals for
// the caller, Ctrl-C say, do not reach it), has its standard streams on
// /dev/null and none of the caller's other descriptors, and starts with
// default signal handling and no blocked signals.
bool SpawnDetached(const char* path, char* const argv[], const char* directory);

}  // namespace process
}  // namespace posix
}  // namespace korvex

#endif
