// Each companion run as a user runs it, with standard output on a full disk: what could not be
// written is said, and the exit code is not a success.
#include "findings/companion_main.h"

#include <gtest/gtest.h>

#include "platform/standin_process.h"
#include "system/system.h"
#include "testing/test_support.h"

namespace {

TEST(CompanionMainTest, OutputThatCannotBeWrittenIsAnError) {
  if (OnWindows() || !std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const InScratchDir scratch;
  const std::string folder = std::filesystem::path(kQuorvelBinary).parent_path().string();
  const std::vector<std::vector<std::string>> commands = {{"Quorvel-check", "--help"},
                                                          {"Quorvel-tree", "--help"},
                                                          {"Quorvel-plan", "--version"},
                                                          {"Quorvel-run", "--help"}};
  for (const std::vector<std::string>& command : commands) {
    const std::vector<std::string> arguments(command.begin() + 1, command.end());
    EXPECT_EQ(StandinRunProcess(folder + "/" + command[0], arguments, ".", {}, "/dev/full", "err"),
              3)
        << command[0];
    EXPECT_NE(ReadWholeFile("err").find(": write error: No space left on device\n"),
              std::string::npos)
        << command[0] << ": " << ReadWholeFile("err");
  }
}

}  // namespace
