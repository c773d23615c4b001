// The single running copy and the ways the process ends.

#include <sys/file.h>

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

std::string readLog(const TempFolder& home) {
  return files::readFile(home / "log.txt").value_or("");
}

TEST(ProcessLife, ANewerCopyTakesOverFromTheRunningOne) {
  TempFolder home;
  OrvoProcess first({.home = home.path()});
  ASSERT_TRUE(first.waitForPrefix("@welcome"));
  EXPECT_EQ(files::readFile(home / ".running"), std::to_string(first.pid()) + "\n");

  OrvoProcess second({.home = home.path()});
  EXPECT_EQ(first.waitExit(), 0);
  EXPECT_THAT(readLog(home), HasSubstr("stopped: replaced by a newer copy, or asked to stop"));
  ASSERT_TRUE(second.waitForPrefix("@welcome"));
  EXPECT_EQ(files::readFile(home / ".running"), std::to_string(second.pid()) + "\n");

  // A one-off run beside it leaves it alone.
  OrvoProcess check({.home = home.path(), .args = {"--drop", "Jingle Bells"}});
  EXPECT_EQ(check.waitExit(), 0);
  EXPECT_FALSE(second.waitExit(0.3));

  second.signal(SIGTERM);
  EXPECT_EQ(second.waitExit(), 0);
}

TEST(ProcessLife, ACopyThatIgnoresBeingAskedIsKilled) {
  TempFolder home;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t stubborn = ::fork();
  if (stubborn == 0) {
    ::signal(SIGTERM, SIG_IGN);
    int fd = ::open((home / ".running").c_str(), O_RDWR | O_CREAT, 0644);
    ::flock(fd, LOCK_EX);
    std::string id = std::to_string(::getpid()) + "\n";
    [[maybe_unused]] auto w1 = ::write(fd, id.data(), id.size());
    [[maybe_unused]] auto w2 = ::write(ready[1], "x", 1);
    for (;;) ::pause();
  }
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);

  auto start = std::chrono::steady_clock::now();
  OrvoProcess orvo({.home = home.path()});
  int status = 0;
  ASSERT_EQ(::waitpid(stubborn, &status, 0), stubborn);
  double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_GT(took, 2.0);  // it was asked about thirty times first
  ASSERT_TRUE(orvo.waitForPrefix("@welcome", 15));
  EXPECT_EQ(orvo.closeWindow(), 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(ProcessLife, StaleLockFilesAreNeverSignalled) {
  TempFolder home;
  for (std::string stale : {"1\n", "not a number\n", "-7\n"}) {
    files::writeFileAtomically(home / ".running", stale);
    OrvoProcess orvo({.home = home.path()});
    ASSERT_TRUE(orvo.waitForPrefix("@welcome")) << stale;
    orvo.signal(SIGINT);
    EXPECT_EQ(orvo.waitExit(), 0);
  }
  EXPECT_THAT(readLog(home), HasSubstr("stopped: interrupted"));
}

}  // namespace
}  // namespace orvo::testing
