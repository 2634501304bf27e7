// The main of every test program: each case has a deadline, so a case that
// hangs fails by name within it, not when ctest stops the whole program.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>

namespace {

// A case takes seconds, under the sanitizers too; a sweep that runs for
// minutes lifts the bound with KORVEX_TEST_CASE_SECONDS=0.
unsigned CaseSeconds() {
  const char* set = getenv("KORVEX_TEST_CASE_SECONDS");
  return set ? static_cast<unsigned>(atoi(set)) : 90;
}

char g_verdict[512];
int g_verdictLength = 0;

void OnDeadline(int) {
  (void)!write(2, g_verdict, g_verdictLength);
  _exit(1);
}

class CaseDeadline : public testing::EmptyTestEventListener {
public:
  explicit CaseDeadline(unsigned seconds) : seconds_(seconds) { signal(SIGALRM, OnDeadline); }
  void OnTestStart(const testing::TestInfo& test) override {
    g_verdictLength = snprintf(g_verdict, sizeof g_verdict, "%s.%s did not end within %u s\n", test.test_suite_name(),
                               test.name(), seconds_);
    g_verdictLength = g_verdictLength < 0 ? 0 : std::min<int>(g_verdictLength, sizeof g_verdict - 1);
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
  if (unsigned seconds = CaseSeconds()) testing::UnitTest::GetInstance()->listeners().Append(new CaseDeadline(seconds));
#endif
  return RUN_ALL_TESTS();
}
