// REAPER control through the real binary, against a fake REAPER on PATH that
// runs REAPER's start-up script from a temporary home, as REAPER would.

#include <csignal>
#include <cstdlib>

#include "e2e/fifo-piano.h"
#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(ReaperSession, TheRKeyStartsReaperInstallsTheLinkAndTheKeysStepAndChoose) {
  TempFolder home;
  const auto resources = home / ".config" / "REAPER";
  std::filesystem::create_directories(resources);
  const std::string path = std::string(ORVO_FAKE_REAPER_DIR) + ":/usr/bin:/bin";
  OrvoProcess orvo({.home = home.path(), .env = {{"HOME", home.path().string()}, {"PATH", path}}});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  ASSERT_TRUE(orvo.answers("r", "Opening REAPER.", 10));
  ASSERT_TRUE(orvo.waitFor("@mode reaper", 30));
  auto opened = orvo.waitForPrefix("REAPER control. This is ", 5);
  ASSERT_TRUE(opened);
  EXPECT_THAT(*opened, HasSubstr(" with 1 track, "));
  EXPECT_THAT(*opened, EndsWith(" The third and fourth keys step through the list. The top key "
                                "chooses. The second key goes back."));
  EXPECT_TRUE(std::filesystem::exists(resources / "Scripts" / "lorimel_bridge.lua"));
  EXPECT_THAT(files::readFile(resources / "Scripts" / "__startup.lua").value_or(""),
              HasSubstr("lorimel_bridge.lua"));

  // The right arrow: the next item.
  ASSERT_TRUE(orvo.answers("\x1b[C", "Tracks."));
  // Space: the top key chooses.
  ASSERT_TRUE(orvo.answers(" ", "Tracks. Piano.", 10));
  ASSERT_TRUE(orvo.answers(" ", "Piano. Arm or disarm for recording.", 10));
  EXPECT_TRUE(orvo.answers("0", "@mode idle"));
  EXPECT_EQ(orvo.closeWindow(), 0);

  // REAPER was started on its own, never a child left to reap: it is ended here.
  const int pid = std::atoi(files::readFile(resources / "fake-reaper.pid").value_or("0").c_str());
  ASSERT_GT(pid, 1);
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i) Keyboard::wait(0.01);
  EXPECT_NE(::kill(pid, 0), 0);
}

}  // namespace
}  // namespace orvo::testing
