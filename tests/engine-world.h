#pragma once
// An engine on the virtual clock that says nothing, in a data folder whose
// top key is known: a fresh temporary one, or the one given. For the
// benchmarks and for test programs that run an engine outside a test.

#include <filesystem>
#include <string>

#include "apps/music-player.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "sound/speech-output.h"
#include "studio/studio-host.h"
#include "temp-folder.h"

namespace orvo::testing {

struct SilentSpeaker final : SpeechOutput {
  void say(const std::string&, SpeechTicket) override {}
  void stop() override {}
  void silenceNow() override {}
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return ""; }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}
};

struct EngineWorld {
  explicit EngineWorld(std::filesystem::path folder = {}, AccessBackend* access = nullptr)
      : home(folder.empty() ? temp.path() : std::move(folder)), access(access) {}

  TempFolder temp;
  std::filesystem::path home;
  AccessBackend* access;
  VirtualRuntime runtime;
  Window window{runtime.serial("lorimel.ui"), true, [](std::string_view) {}};
  Log log{home / "log.txt"};
  SilentSpeaker speaker;
  NoMusicPlayer player;
  NoStudioHost studio;
  FileStore store{home, runtime, runtime.serial("orvo.store")};
  LoopbackMidiBackend backend;
  MidiIO midi{backend, runtime, [](const std::string&) {}, false};
  Sounds sounds{{runtime, store, [](const std::string&) {}, {}}};
  bool topKey = files::writeFileAtomically(home / "top-key.txt", "108\n");
  Engine engine{EngineParts{.runtime = runtime,
                            .window = window,
                            .log = log,
                            .speaker = speaker,
                            .musicPlayer = player,
                            .studio = studio,
                            .midi = midi,
                            .sounds = sounds,
                            .store = store,
                            .baseDir = home,
                            .access = access}};
};

}  // namespace orvo::testing
