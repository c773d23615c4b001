#pragma once
// Installing the natural voice, in the background, each step said as it
// starts: room on the disk and the server script; the setup tool (uv); a
// Python environment in the voice folder with the speech engine; the model
// files, a broken-off download carried on where it stopped; then the voice
// started. A failed step says why and what to do, and the next try picks up
// from what is already there.
//
// Threads: install() blocks for minutes, so it runs in an activity of its own;
// running() from any thread.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime.h"

namespace orvo {

// Where everything is downloaded from, in one place. ORVO_VOICE_DOWNLOADS
// replaces the base (tests serve the same paths from 127.0.0.1).
struct VoiceDownloads {
  std::string base = "https://github.com";
  std::string uv;                   // the setup tool's archive, for this processor
  std::vector<std::string> models;  // "kokoro-v1.0.onnx", then "voices-v1.0.bin"
  static VoiceDownloads forThisMachine();
};

class VoiceInstaller {
 public:
  struct Parts {
    Runtime& runtime;
    std::filesystem::path folder;        // the data folder's "voice"
    std::filesystem::path serverScript;  // "kokoro_server.py" beside the program
    std::function<void(const std::string&)> say;
    std::function<void(const std::string&)> ui;  // "now " lines
    std::function<void(const std::string&)> log;
    std::function<bool()> startVoice;  // starts the voice; true once it answers
    VoiceDownloads downloads = VoiceDownloads::forThisMachine();
    // Bytes free where the voice goes; the file system's answer when unset.
    std::function<std::optional<std::uint64_t>()> freeSpace = nullptr;
  };

  // About one and a half gigabytes while it installs.
  static constexpr std::uint64_t kSpaceNeeded = 1500ull * 1000 * 1000;

  explicit VoiceInstaller(Parts parts) : parts_(std::move(parts)) {}

  // Every step in order; true when the voice came up. A second call while
  // one runs returns false at once.
  bool install();
  bool running() const { return running_; }
  // The server script beside the program copied into the voice folder when
  // it differs (a newer program); false when the program has none.
  bool placeScript();
  // Everything downloaded is deleted (the server script and the settings
  // stay); false while an install runs or when something could not go.
  bool remove();

 private:
  // The install in its steps, each saying why it could not go on.
  bool steps();
  bool roomToInstall();
  bool setupTool();
  bool speechEngine();
  bool voiceFiles();
  void step(const std::string& sentence, const std::string& now);
  bool download(const std::string& path, const std::filesystem::path& to, double limit,
                std::string& why);
  std::optional<std::uint64_t> remoteSize(const std::string& url);

  Parts parts_;
  std::atomic<bool> running_{false};
};

}  // namespace orvo
