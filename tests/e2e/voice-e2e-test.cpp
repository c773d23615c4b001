// The natural voice through the real binary, with the stand-in server
// installed where the real one would be, heard through ORVO_VOICE_OUT.
#include <gmock/gmock.h>

#include "e2e/fifo-piano.h"
#include "e2e/orvo-process.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

using ::testing::StartsWith;

void installStandIn(const std::filesystem::path& home) {
  const auto voice = home / "voice";
  std::filesystem::create_directories(voice / ".venv" / "bin");
  std::filesystem::copy_file(ORVO_KOKORO_STAND_IN, voice / ".venv" / "bin" / "python");
  files::writeFileAtomically(voice / "kokoro-v1.0.onnx", "");
}

TEST(VoiceSession, OnceReadyTheNaturalVoiceSpeaksAndIsHeardInItsFile) {
  TempFolder home;
  installStandIn(home.path());
  const auto heard = home / "voice-out.raw";
  OrvoProcess orvo({.home = home.path(),
                    .args = {},
                    .env = {{"ORVO_VOICE_OUT", heard.string()}, {"KOKORO_STAND_IN", ""}}});
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  ASSERT_TRUE(orvo.waitFor("@voice George (Kokoro)", 20));
  Keyboard::wait(0.5);
  orvo.write("h");  // help, said in the natural voice
  ASSERT_TRUE(orvo.waitForPrefix("@say Home."));
  ASSERT_TRUE(orvo.waitFor("@start", 10));
  EXPECT_TRUE(orvo.waitFor("@word Home.", 5));
  for (int i = 0;
       i < 100 && (!std::filesystem::exists(heard) || std::filesystem::file_size(heard) < 24000);
       ++i) {
    Keyboard::wait(0.05);
  }
  ASSERT_TRUE(std::filesystem::exists(heard));
  EXPECT_GE(std::filesystem::file_size(heard), 24000u) << "half a second of the voice at least";
  EXPECT_FALSE(std::filesystem::is_empty(home / "voice" / "cache"));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);

  // From the command line: timed, and said into nothing.
  OrvoProcess once({.home = home.path(),
                    .args = {"--speak", "Hello from the command line.", "--mute"},
                    .window = false});
  EXPECT_EQ(once.waitExit(30), 0);
  EXPECT_TRUE(once.waitForPrefix("Kokoro ready after ", 1));
  EXPECT_TRUE(once.waitForPrefix("voice began after ", 1));
  std::filesystem::remove(home / "voice" / "kokoro-v1.0.onnx");
  OrvoProcess missing({.home = home.path(), .args = {"--speak", "Anyone?"}, .window = false});
  EXPECT_EQ(missing.waitExit(30), 1);
  EXPECT_TRUE(missing.waitFor("Kokoro is not available", 1));
}

}  // namespace
}  // namespace orvo::testing
