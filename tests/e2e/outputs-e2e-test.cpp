// The sound outputs by name: the real binary against a PulseAudio server of
// the test's own with null sinks that carry the names a person knows.

#include <gmock/gmock.h>

#include "e2e/orvo-process.h"
#include "e2e/sound-server.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(OutputsSession, TheOutputsAreNamedAsAPersonKnowsThemAndAGoneServerIsSaid) {
  TempFolder home;
  SoundServer sound(home.path());
  sound.addSink("phones", "USB Audio Headphones");
  if (!sound.start()) GTEST_SKIP() << sound.skipReason();
  OrvoProcess orvo({.home = home / "data", .env = sound.env()});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome", 10.0));
  orvo.write("~say what outputs are there\n");
  EXPECT_TRUE(orvo.waitFor("There are 2 outputs: Null Output and USB Audio Headphones."));
  sound.stop();
  orvo.write("~say which outputs do you have\n");
  EXPECT_TRUE(orvo.waitFor(
      "I can't reach the sound server, so I can't tell which outputs there are.", 5.0));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);
}

}  // namespace
}  // namespace orvo::testing
