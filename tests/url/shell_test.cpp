#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/shell.h"
#include "tests/support/recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

typedef std::vector<std::string> Args;

INT_PTR Start(const std::string& file, const char* parameters) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, NULL, file.c_str(), parameters, NULL, SW_SHOWNORMAL));
}

}  // namespace

// The started program splits its parameters itself on Windows; ours does it
// for it. Both must give the same arguments.
TEST(ShellExecuteA, ParametersSplitByWindowsCommandLineRules) {
  const std::string marker = ScratchFolderOfProgram() + "shell-ran";
  struct Case {
    std::string parameters;
    Args args;
  } cases[] = {
      {"", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  lead   trail  ", {"lead", "trail"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\" x", {"", "x"}},
      {"a\\\\b c\\", {"a\\\\b", "c\\"}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"\"x\\\\\" y", {"x\\", "y"}},
      {"a\nb", {"a\nb"}},
      // Nothing here may reach a shell.
      {"$(touch " + marker + ") `touch " + marker + "` ; touch " + marker + " | & > < * ~ 'q' %PATH%",
       {"$(touch", marker + ")", "`touch", marker + "`", ";", "touch", marker, "|", "&", ">", "<", "*", "~", "'q'",
        "%PATH%"}},
  };
  // All started at once, then collected: a start under Wine is slow.
  std::vector<Recording> recordings;
  recordings.reserve(sizeof cases / sizeof cases[0]);
  for (const Case& c : cases) {
    recordings.emplace_back();
    EXPECT_GT(Start(RecorderPath(), c.parameters.c_str()), 32) << c.parameters;
  }
  for (size_t i = 0; i < recordings.size(); ++i) {
    SCOPED_TRACE(cases[i].parameters);
    EXPECT_EQ(recordings[i].Wait(), std::optional<Args>(cases[i].args)) << "nullopt: the program did not start";
  }
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(ShellExecuteA, NullParametersGiveNoArgumentsAndAMissingFileStartsNothing) {
  Recording none;
  EXPECT_GT(Start(RecorderPath(), NULL), 32);
  EXPECT_EQ(none.Wait(), std::optional<Args>(Args{}));
  EXPECT_EQ(Start(FolderOfThisProgram() + "no_such_program" + ProgramExtension(), "x"), SE_ERR_FNF);
}
