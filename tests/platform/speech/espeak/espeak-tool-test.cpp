#include "platform/speech/espeak/espeak-tool.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

std::string script(const testing::TempFolder& folder, const std::string& name,
                   const std::string& body) {
  auto path = folder / name;
  files::writeFileAtomically(path, "#!/bin/sh\n" + body + "\n");
  ::chmod(path.c_str(), 0755);
  return path.string();
}

TEST(EspeakTool, CommandLineSpeaksLeadingDashesAndCarriesTheVolume) {
  EspeakTool tool;
  EXPECT_THAT(tool.commandLine("Hello.", 1.0f),
              ElementsAre("espeak-ng", "-s", "195", "-a", "100", "Hello."));
  EXPECT_THAT(tool.commandLine("-5 below zero.", 0.35f),
              ElementsAre("espeak-ng", "-s", "195", "-a", "35", " -5 below zero."));
}

TEST(EspeakTool, ReportsWhetherItCouldSpeakSpeaksWhereTheVoiceGoesAndStopsAtOnce) {
  testing::TempFolder folder;
  EXPECT_EQ(EspeakTool(script(folder, "fine", "exit 0")).speak("Hi.", 1),
            SpeechTool::Result::spoken);
  EXPECT_EQ(EspeakTool((folder / "missing").string()).speak("Hi.", 1),
            SpeechTool::Result::cannotSpeak);
  // espeak-ng without a sound device complains on its error output but exits 0.
  EXPECT_EQ(EspeakTool(script(folder, "nodevice", "echo 'error: No such file or directory' >&2"))
                .speak("Hi.", 1),
            SpeechTool::Result::cannotSpeak);

  // It speaks on the voice's own output when there is one, else on the usual one.
  std::string device = "phones";
  EspeakTool placed(script(folder, "where", "echo \"$PULSE_SINK\" > " + (folder / "sink").string()),
                    [&] { return device; });
  ASSERT_EQ(placed.speak("Hi.", 1), SpeechTool::Result::spoken);
  EXPECT_EQ(files::readFile(folder / "sink").value_or(""), "phones\n");
  device.clear();
  ::unsetenv("PULSE_SINK");
  ASSERT_EQ(placed.speak("Hi.", 1), SpeechTool::Result::spoken);
  EXPECT_EQ(files::readFile(folder / "sink").value_or(""), "\n");

  EspeakTool slow(script(folder, "slow", "exec sleep 30"));
  auto started = std::chrono::steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    slow.stop();
  });
  EXPECT_EQ(slow.speak("A long sentence.", 1), SpeechTool::Result::stopped);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
}  // namespace orvo
