#include "platform/instance-lock.h"

#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::instance {
namespace {

TEST(InstanceLock, OnlyARealOtherProcessIsEverSignalled) {
  pid_t self = 4242;
  EXPECT_EQ(holderToSignal("1234\n", self), 1234);
  EXPECT_EQ(holderToSignal("  77  ", self), 77);
  EXPECT_FALSE(holderToSignal("4242\n", self));  // a stale file holding our own id
  EXPECT_FALSE(holderToSignal("1", self));       // init, or a nonsense id
  EXPECT_FALSE(holderToSignal("0", self));
  EXPECT_FALSE(holderToSignal("-5", self));
  EXPECT_FALSE(holderToSignal("12abc", self));
  EXPECT_FALSE(holderToSignal("", self));
  EXPECT_FALSE(holderToSignal("99999999999", self));  // does not fit 32 bits

  EXPECT_EQ(signalForAttempt(0), SIGTERM);
  EXPECT_EQ(signalForAttempt(28), SIGTERM);
  EXPECT_EQ(signalForAttempt(29), SIGKILL);
  EXPECT_EQ(signalForAttempt(500), SIGKILL);
}

TEST(InstanceLock, TheLockedFileHoldsOurIdAndIsNotPassedToChildren) {
  testing::TempFolder home;
  auto path = home / ".running";
  files::writeFileAtomically(path, "a much longer stale content\n");
  int fd = openLock(path);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  int sleeps = 0;
  becomeOnlyCopy(fd, [&](double) { ++sleeps; });
  EXPECT_EQ(sleeps, 0);
  EXPECT_EQ(files::readFile(path), std::to_string(::getpid()) + "\n");

  // A second open of the file cannot take the lock while we hold it.
  int other = openLock(path);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
  ::close(other);
  ::close(fd);
}

}  // namespace
}  // namespace orvo::instance
