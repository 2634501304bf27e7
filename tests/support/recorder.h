#ifndef KORVEX_TESTS_SUPPORT_RECORDER_H
#define KORVEX_TESTS_SUPPORT_RECORDER_H

// The program that stands in for a product (tests/programs/record_args.cpp)
// and the files in which it records the arguments it was started with.
#include <optional>
#include <string>
#include <vector>

// The folder of the running test program, with a trailing separator.
std::string FolderOfThisProgram();
// The running test program's own extension (".exe", or "" on POSIX).
std::string ProgramExtension();
// The recording program, built beside the test programs.
std::string RecorderPath();

// A fresh record file in the scratch folder; the next program started records
// its arguments there (KORVEX_RECORD_FILE is set for it).
class Recording {
public:
  Recording();
  // The arguments (without the program name) once the file is there; nothing
  // when it does not appear within the deadline.
  std::optional<std::vector<std::string>> Wait() const;
  bool Exists() const;

private:
  std::string file_;
};

#endif
