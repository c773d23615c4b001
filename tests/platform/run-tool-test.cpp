// Running outside programs for their output: what they print and how they
// end, a program that never ends (on the virtual clock, so no test waits a
// minute), one that fills its error pipe, and one that is not there.

#include "platform/run-tool.h"

#include <chrono>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/thread-runtime.h"
#include "temp-folder.h"

namespace orvo {
namespace {

TEST(RunTool, OutputAndExitStatusComeBackAndErrorsNeverBlock) {
  ThreadRuntime runtime(1);
  auto echoed = runTool(runtime, "/bin/cat", {}, "a question \"quoted\"\n");
  EXPECT_TRUE(echoed.ok);
  EXPECT_EQ(echoed.out, "a question \"quoted\"\n");
  auto failed = runTool(runtime, "/bin/sh", {"-c", "printf partial; exit 3"}, "");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.out, "partial");
  // A megabyte on standard error would fill an unread pipe and stop the program.
  auto noisy = runTool(runtime, "/bin/sh", {"-c", "head -c 1048576 /dev/zero >&2; echo done"}, "");
  EXPECT_TRUE(noisy.ok);
  EXPECT_EQ(noisy.out, "done\n");
  // A tool that tells its failure on standard error, read with its output.
  auto told = runTool(runtime, "/bin/sh", {"-c", "echo out; echo 'error (-1743)' >&2; exit 1"}, "",
                      20.0, {}, true);
  EXPECT_FALSE(told.ok);
  EXPECT_EQ(told.out, "out\nerror (-1743)\n");
  testing::TempFolder folder;
  auto where = runTool(runtime, "/bin/pwd", {}, "", 20.0, folder.path());
  EXPECT_EQ(where.out, std::filesystem::canonical(folder.path()).string() + "\n");
  auto missing = runTool(runtime, "/no/such/program", {}, "");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.out, "could not start");
}

TEST(RunTool, AProgramThatNeverEndsIsStoppedAtItsTimeLimit) {
  VirtualRuntime runtime(1);
  const auto realStart = std::chrono::steady_clock::now();
  for (double limit : {60.0, 75.0}) {
    const double start = runtime.now();
    auto result = runTool(runtime, "/bin/sleep", {"1000"}, "", limit);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.out, "timed out");
    EXPECT_GE(runtime.now() - start, limit);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
  // One that ignores SIGTERM is killed after it.
  ThreadRuntime real(1);
  const auto stubborn = std::chrono::steady_clock::now();
  auto result = runTool(real, "/bin/sh", {"-c", "trap '' TERM; exec sleep 100"}, "", 0.3);
  EXPECT_EQ(result.out, "timed out");
  EXPECT_LT(std::chrono::steady_clock::now() - stubborn, std::chrono::seconds(5));
}

}  // namespace
}  // namespace orvo
