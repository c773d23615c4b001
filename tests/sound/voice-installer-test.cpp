// Installing the natural voice from a download server of the test's own:
// every step in order, a download broken off and carried on, and each failure.
#include "sound/voice-installer.h"

#include <future>

#include "matchers.h"
#include "platform/files.h"
#include "platform/line-process.h"
#include "platform/run-tool.h"
#include "platform/thread-runtime.h"
#include "temp-folder.h"

namespace orvo {
namespace {

const std::string kData = std::string(ORVO_SOURCE_DIR) + "/tests/sound/data";

class VoiceInstallerTest : public ::testing::Test {
 protected:
  ThreadRuntime runtime{1};
  testing::TempFolder home;
  testing::TempFolder served;
  std::unique_ptr<LineProcess> server;
  std::promise<std::string> port;
  std::vector<std::string> said;
  std::vector<std::string> shown;
  bool voiceStarts = true;

  VoiceInstallerTest() {
    // The setup tool: makes an environment whose python finds the stand-in packages.
    const auto tool = served / "uv-fake";
    std::filesystem::create_directories(tool);
    files::writeFileAtomically(tool / "uv",
                               "#!/bin/sh\n"
                               "case \"$1\" in\n"
                               "venv) mkdir -p \"$2/bin\" \"$UV_PYTHON_INSTALL_DIR\"\n"
                               "  printf '#!/bin/sh\\nexec /usr/bin/env PYTHONPATH=" +
                                   kData +
                                   "/fake-kokoro /usr/bin/python3 \"$@\"\\n' > \"$2/bin/python\"\n"
                                   "  chmod +x \"$2/bin/python\";;\n"
                                   "pip) if [ -e \"$(dirname \"$0\")/../fail-pip\" ]; then echo "
                                   "'error: no matching distribution' >&2; exit 1; fi;;\n"
                                   "esac\n");
    std::filesystem::permissions(tool / "uv", std::filesystem::perms::owner_all);
    runTool(runtime, "/usr/bin/tar",
            {"-czf", (served / "uv.tar.gz").string(), "-C", served.path().string(), "uv-fake"}, "");
    std::filesystem::create_directories(served / "m");
    files::writeFileAtomically(served / "m" / "kokoro-v1.0.onnx", std::string(300000, 'k'));
    files::writeFileAtomically(served / "m" / "voices-v1.0.bin", std::string(50000, 'v'));
    LineProcess::Options options;
    options.argv = {"/usr/bin/python3", kData + "/download-server.py", served.path().string()};
    bool first = true;
    server = LineProcess::start(options, {.onLine = [this, first](std::string_view line) mutable {
                                  if (first) port.set_value(std::string(line));
                                  first = false;
                                }});
  }

  VoiceInstaller::Parts parts(const std::string& base,
                              std::optional<std::uint64_t> free = std::nullopt) {
    VoiceDownloads downloads{
        .base = base, .uv = "/uv.tar.gz", .models = {"/m/kokoro-v1.0.onnx", "/m/voices-v1.0.bin"}};
    return VoiceInstaller::Parts{
        .runtime = runtime,
        .folder = home / "voice",
        .serverScript = std::string(ORVO_SOURCE_DIR) + "/src/sound/kokoro/kokoro_server.py",
        .say = [this](const std::string& text) { said.push_back(text); },
        .ui = [this](const std::string& line) { shown.push_back(line); },
        .log = [](const std::string&) {},
        .startVoice = [this] { return voiceStarts; },
        .downloads = downloads,
        .freeSpace = [free]() -> std::optional<std::uint64_t> {
          return free.value_or(VoiceInstaller::kSpaceNeeded * 2);
        }};
  }
  VoiceInstaller installer(const std::string& base,
                           std::optional<std::uint64_t> free = std::nullopt) {
    return VoiceInstaller(parts(base, free));
  }
  std::string base() {
    auto future = port.get_future();
    if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
      return "http://127.0.0.1:1";
    return "http://127.0.0.1:" + future.get();
  }
};

TEST_F(VoiceInstallerTest, EveryStepInOrderAndABrokenDownloadCarriesOn) {
  const std::string url = base();
  files::writeFileAtomically(served / "m" / "kokoro-v1.0.onnx.cut", "");
  EXPECT_FALSE(installer(url).install());
  EXPECT_THAT(
      said,
      ElementsAre(
          "Step one of three: a small setup tool.",
          "Step two of three: the speech engine. This takes a minute or two.",
          "Step three of three: the voice itself. It's 325 megabytes, so this is the long one.",
          "The download stopped part way. Ask me again and I'll carry on from where it stopped."));
  EXPECT_FALSE(std::filesystem::exists(home / "voice" / "kokoro-v1.0.onnx"))
      << "never taken for the model";
  EXPECT_GT(std::filesystem::file_size(home / "voice" / "kokoro-v1.0.onnx.part"), 0u);
  EXPECT_THAT(shown, Contains("now Natural voice: the setup tool"));

  said.clear();
  EXPECT_TRUE(installer(url).install());
  EXPECT_EQ(
      said.back(),
      "And this is my natural voice. Much better, isn't it? Say next voice to try the others, or "
      "audition the voices to hear them all.");
  EXPECT_EQ(std::filesystem::file_size(home / "voice" / "kokoro-v1.0.onnx"), 300000u);
  EXPECT_EQ(std::filesystem::file_size(home / "voice" / "voices-v1.0.bin"), 50000u);
  EXPECT_TRUE(std::filesystem::exists(home / "voice" / ".venv" / "bin" / "python"));
  EXPECT_TRUE(std::filesystem::exists(home / "voice" / "kokoro_server.py"));
  EXPECT_TRUE(std::filesystem::exists(home / "voice" / "python"))
      << "Python kept in the voice folder";

  // Installed, but the voice does not come up.
  said.clear();
  voiceStarts = false;
  EXPECT_FALSE(installer(url).install());
  EXPECT_THAT(said.back(), StartsWith("Everything downloaded, but the voice wouldn't start."));

  // Removed: what was downloaded goes, the script and the choices stay.
  files::writeFileAtomically(home / "voice" / "voice-kokoro.txt", "bf_emma\n");
  EXPECT_TRUE(installer(url).remove());
  for (const char* gone : {"kokoro-v1.0.onnx", "voices-v1.0.bin", ".venv", "python", "uv"})
    EXPECT_FALSE(std::filesystem::exists(home / "voice" / gone)) << gone;
  EXPECT_TRUE(std::filesystem::exists(home / "voice" / "kokoro_server.py"));
  EXPECT_TRUE(std::filesystem::exists(home / "voice" / "voice-kokoro.txt"));

  // A newer program's script replaces an older one left in the folder.
  files::writeFileAtomically(home / "voice" / "kokoro_server.py", "# an older server\n");
  EXPECT_TRUE(installer(url).placeScript());
  EXPECT_EQ(files::readFile(home / "voice" / "kokoro_server.py"),
            files::readFile(std::string(ORVO_SOURCE_DIR) + "/src/sound/kokoro/kokoro_server.py"));
}

TEST_F(VoiceInstallerTest, EachFailureSaysWhatToDo) {
  const std::string url = base();
  EXPECT_FALSE(installer(url, 1000).install());
  EXPECT_THAT(said,
              ElementsAre("There isn't enough free space. The natural voice needs about one and a "
                          "half gigabytes while it installs."));
  said.clear();
  EXPECT_FALSE(installer("http://127.0.0.1:1").install());
  EXPECT_EQ(said.back(),
            "I couldn't download the setup tool. Check the internet connection and ask me again.");

  said.clear();
  files::writeFileAtomically(home / "voice" / "fail-pip", "");
  EXPECT_FALSE(installer(url).install());
  EXPECT_EQ(said.back(), "The speech engine wouldn't install: error: no matching distribution");
  std::filesystem::remove(home / "voice" / "fail-pip");

  said.clear();
  files::writeFileAtomically(served / "m" / "voices-v1.0.bin.lie", "");
  EXPECT_FALSE(installer(url).install());
  EXPECT_EQ(said.back(), "The voice file came down incomplete. Ask me again to retry.");
  std::filesystem::remove(served / "m" / "voices-v1.0.bin.lie");

  said.clear();
  std::filesystem::remove(served / "m" / "voices-v1.0.bin");
  EXPECT_FALSE(installer(url).install());
  EXPECT_EQ(
      said.back(),
      "I couldn't download the voices. Ask me again and I'll carry on from where it stopped.");

  // A second install asked for while one runs is refused at once.
  std::optional<bool> again;
  VoiceInstaller* self = nullptr;
  auto nestedParts = parts(url);
  nestedParts.say = [&](const std::string&) {
    if (self && !again) again = self->install();
  };
  VoiceInstaller nested(nestedParts);
  self = &nested;
  nested.install();
  EXPECT_EQ(again, false);
  EXPECT_FALSE(nested.running());
}

}  // namespace
}  // namespace orvo
