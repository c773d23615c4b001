// The natural voice's real server script, run by Debian's python3 over a
// stand-in kokoro_onnx package: its lines, its files, and its failures.

#include "matchers.h"
#include "platform/files.h"
#include "platform/run-tool.h"
#include "platform/thread-runtime.h"
#include "sound/kokoro-protocol.h"
#include "sound/voice-wav.h"
#include "temp-folder.h"

namespace orvo {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

// The script with the stand-in package on its path (so without "-I").
ToolRun server(Runtime& runtime, const std::filesystem::path& folder, const std::string& input) {
  const std::string script = std::string(ORVO_SOURCE_DIR) + "/src/sound/kokoro/kokoro_server.py";
  const std::string fake = std::string(ORVO_SOURCE_DIR) + "/tests/sound/data/fake-kokoro";
  return runTool(runtime, "/usr/bin/env",
                 {"PYTHONPATH=" + fake, "/usr/bin/python3", script, folder.string()}, input, 30.0);
}

TEST(KokoroServer, RendersEachRequestAndAnswersEveryBadOneAlone) {
  ThreadRuntime runtime(1);
  testing::TempFolder folder;
  files::writeFileAtomically(folder / "kokoro-v1.0.onnx", "");
  const auto good = folder / "good.wav";
  const std::string input =
      kokoroRequest(1, "bm_george", "1.06", good, "Hello there.") +
      kokoroRequest(2, "xx_nobody", "1.06", folder / "two.wav", "Hello.") + "3\tonly\ttwo\n" +
      kokoroRequest(4, "bf_emma", "fast", folder / "four.wav", "Hi.") +
      kokoroRequest(5, "bf_emma", "1.00", folder / "no" / "such" / "five.wav", "Hi.") +
      kokoroRequest(6, "af_heart", "0.98", folder / "six.wav", "Still here.");
  auto run = server(runtime, folder.path(), input);
  ASSERT_TRUE(run.ok) << run.out;
  auto lines = linesOf(run.out);
  ASSERT_EQ(lines.size(), 7u) << run.out;
  EXPECT_EQ(lines[0], "ready\taf_heart\tbf_emma\tbm_george");
  EXPECT_EQ(lines[1], "1\tok");
  EXPECT_EQ(lines[2], "2\terror: voice xx_nobody not found");
  EXPECT_EQ(lines[3], "3\terror: a request needs five fields");
  EXPECT_THAT(lines[4], StartsWith("4\terror: could not convert string to float"));
  EXPECT_THAT(lines[5], StartsWith("5\terror: "));
  EXPECT_EQ(lines[6], "6\tok");
  auto wav = readVoiceWavFile(good);
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->rate, 24000);
  EXPECT_NEAR(wav->seconds(), 12 * 0.06 / 1.06, 0.001);
  EXPECT_FALSE(std::filesystem::exists(folder / "good.wav.part"));

  // Without its model it says why, once, and ends.
  std::filesystem::remove(folder / "kokoro-v1.0.onnx");
  auto failed = server(runtime, folder.path(), "");
  EXPECT_FALSE(failed.ok);
  EXPECT_THAT(linesOf(failed.out), ElementsAre(StartsWith("failed\tno model at ")));
}

}  // namespace
}  // namespace orvo
