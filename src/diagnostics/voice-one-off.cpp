#include "diagnostics/voice-one-off.h"

#include <chrono>
#include <cstdio>

#include "platform/file-store.h"
#include "platform/login-items.h"
#include "platform/places.h"
#include "sound/kokoro.h"
#include "sound/voice-installer.h"

namespace orvo::oneoff {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int speakOnce(const std::string& text, bool mute, bool cold, const std::filesystem::path& baseDir,
              Runtime& runtime, const Print& print) {
  const auto start = std::chrono::steady_clock::now();
  FileStore store(baseDir, runtime, runtime.serial("orvo.store"));  // the player's voice and speed
  Kokoro::Parts parts{.runtime = runtime,
                      .store = store,
                      .folder = baseDir / "voice",
                      .temporary = temporaryFolder(baseDir)};
  parts.cache = !cold;
  // Muted, the sound goes nowhere, still at the pace of playback.
  if (mute) parts.openOutput = [](int rate) { return openFileVoiceOutput("/dev/null", rate); };
  Kokoro voice(parts);
  if (!voice.startAndWait(30.0)) {
    print("Kokoro is not available");
    return 1;
  }
  char line[160];
  std::snprintf(line, sizeof line, "Kokoro ready after %.1f s, voice %s", secondsSince(start),
                voice.voice().c_str());
  print(line);
  const auto asked = std::chrono::steady_clock::now();
  double began = -1;
  const Kokoro::Spoken spoken = voice.say(text, [&] { began = secondsSince(asked); });
  voice.shutDown();
  if (!spoken.any || began < 0) {
    print("the natural voice could not say it");
    return 1;
  }
  std::snprintf(line, sizeof line, "voice began after %.2f s, finished after %.1f s", began,
                secondsSince(asked));
  print(line);
  return spoken.rest.empty() ? 0 : 1;
}

int installVoice(const std::filesystem::path& baseDir, Runtime& runtime, const Print& print) {
  const auto start = std::chrono::steady_clock::now();
  auto say = [&](const std::string& message) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%5.0f s ", secondsSince(start));
    print(stamp + message);
  };
  FileStore store(baseDir, runtime, runtime.serial("orvo.store"));
  Kokoro voice({.runtime = runtime,
                .store = store,
                .folder = baseDir / "voice",
                .temporary = temporaryFolder(baseDir)});
  VoiceInstaller installer({.runtime = runtime,
                            .folder = baseDir / "voice",
                            .serverScript = login::thisProgram().parent_path() / "kokoro_server.py",
                            .say = say,
                            .ui = [](const std::string&) {},
                            .log = [](const std::string&) {},
                            .startVoice = [&voice] { return voice.startAndWait(30.0); }});
  const bool installed = installer.install();
  voice.shutDown();
  print(installed ? "installed" : "not installed");
  return installed ? 0 : 1;
}

}  // namespace orvo::oneoff
