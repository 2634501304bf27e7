/* Started by bench_shell_execute: tells the time at which its main began, in
   nanoseconds of the monotonic clock, through the FIFO named by argv[1]. */
#include <fcntl.h>
#include <stdint.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (argc < 2) return 2;
  int64_t ns = (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
  int fifo = open(argv[1], O_WRONLY);
  if (fifo < 0) return 1;
  return write(fifo, &ns, sizeof ns) == (ssize_t)sizeof ns ? 0 : 1;
}
