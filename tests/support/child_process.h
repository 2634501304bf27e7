#ifndef KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H
#define KORVEX_TESTS_SUPPORT_CHILD_PROCESS_H

#include <string>

// Runs this test program again as another process, with only the test `test`
// (a DISABLED_ one is fine) and with `name`=`value` in its environment. Its
// exit code, or -1 when it could not be run or did not end within a minute.
int RunTestInChild(const std::string& test, const std::string& name, const std::string& value);

#endif
