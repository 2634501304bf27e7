// The main of every test program: on Linux each case has a deadline, so a case
// that hangs fails by name, not when ctest stops the whole program.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#ifndef _WIN32
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

char g_verdict[512];

class CaseDeadline : public testing::EmptyTestEventListener {
public:
  explicit CaseDeadline(unsigned seconds) : seconds_(seconds) {
    signal(SIGALRM, [](int) {
      (void)!write(2, g_verdict, strlen(g_verdict));
      _exit(1);
    });
  }
  void OnTestStart(const testing::TestInfo& test) override {
    snprintf(g_verdict, sizeof g_verdict, "%s.%s did not end within %u s\n", test.test_suite_name(), test.name(),
             seconds_);
    alarm(seconds_);
  }
  void OnTestEnd(const testing::TestInfo&) override { alarm(0); }

private:
  const unsigned seconds_;
};

}  // namespace
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
  // Seconds, under the sanitizers too; sweeps that run for minutes set 0.
  const char* seconds = getenv("KORVEX_TEST_CASE_SECONDS");
  if (int bound = seconds ? atoi(seconds) : 90)
    testing::UnitTest::GetInstance()->listeners().Append(new CaseDeadline(bound));
#endif
  return RUN_ALL_TESTS();
}
