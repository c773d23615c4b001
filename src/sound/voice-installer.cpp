#include "sound/voice-installer.h"

#include <sys/utsname.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/places.h"
#include "platform/run-tool.h"
#include "platform/window-lines.h"

namespace orvo {

namespace {

const char* kModels = "/thewh1teagle/kokoro-onnx/releases/download/model-files-v1.0/";

// The last line a tool printed: its reason, said to the player.
std::string lastLine(const std::string& out) {
  std::string text = files::trim(out);
  const std::size_t end = text.find_last_of('\n');
  text = end == std::string::npos ? text : text.substr(end + 1);
  return text.empty() ? "it gave no reason" : text.substr(0, 200);
}

std::uint64_t sizeOf(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace

VoiceDownloads VoiceDownloads::forThisMachine() {
  VoiceDownloads downloads;
  utsname machine{};
  std::string processor = ::uname(&machine) == 0 ? machine.machine : "x86_64";
  if (processor == "arm64") processor = "aarch64";
  downloads.uv =
      "/astral-sh/uv/releases/download/0.5.11/uv-" + processor + "-unknown-linux-gnu.tar.gz";
  downloads.models = {std::string(kModels) + "kokoro-v1.0.onnx",
                      std::string(kModels) + "voices-v1.0.bin"};
  if (auto base = environment("ORVO_VOICE_DOWNLOADS"); !base.empty()) downloads.base = base;
  return downloads;
}

bool VoiceInstaller::install() {
  if (running_.exchange(true)) return false;
  const bool done = steps();
  running_ = false;
  return done;
}

void VoiceInstaller::step(const std::string& sentence, const std::string& now) {
  parts_.ui(lines::now(now));
  parts_.say(sentence);
}

std::optional<std::uint64_t> VoiceInstaller::remoteSize(const std::string& url) {
  ToolRun head =
      runTool(parts_.runtime, "/usr/bin/curl", {"-sfIL", "--max-time", "30", url}, "", 40.0);
  if (!head.ok) return std::nullopt;
  // After redirects the last length is the file's.
  std::optional<std::uint64_t> size;
  std::size_t at = 0;
  while ((at = head.out.find('\n', at)) != std::string::npos) {
    ++at;
    std::string line = head.out.substr(at, head.out.find('\n', at) - at);
    for (auto& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.rfind("content-length:", 0) == 0) size = std::strtoull(line.c_str() + 15, nullptr, 10);
  }
  return size;
}

bool VoiceInstaller::download(const std::string& path, const std::filesystem::path& to,
                              double limit, std::string& why) {
  ToolRun run =
      runTool(parts_.runtime, "/usr/bin/curl",
              {"-sfL", "--retry", "2", "-C", "-", "-o", to.string(), parts_.downloads.base + path},
              "", limit);
  if (!run.ok) why = lastLine(run.out);
  return run.ok;
}

bool VoiceInstaller::placeScript() {
  const auto script = files::readFile(parts_.serverScript);
  if (!script) return false;
  const auto placed = parts_.folder / "kokoro_server.py";
  if (files::readFile(placed) == script) return true;
  return files::writeFileAtomically(placed, *script);
}

bool VoiceInstaller::remove() {
  if (running_.exchange(true)) return false;
  bool removed = true;
  for (const char* name : {"kokoro-v1.0.onnx", "voices-v1.0.bin", "kokoro-v1.0.onnx.part",
                           "voices-v1.0.bin.part", ".venv", "python", "uv", "uv.tar.gz", "cache"}) {
    std::error_code error;
    std::filesystem::remove_all(parts_.folder / name, error);
    if (error) {
      parts_.log("voice removal: " + std::string(name) + ": " + error.message());
      removed = false;
    }
  }
  running_ = false;
  return removed;
}

bool VoiceInstaller::steps() {
  if (!roomToInstall()) return false;
  step("Step one of three: a small setup tool.", "Natural voice: the setup tool");
  if (!setupTool()) return false;
  step("Step two of three: the speech engine. This takes a minute or two.",
       "Natural voice: the speech engine");
  if (!speechEngine()) return false;
  step("Step three of three: the voice itself. It's 325 megabytes, so this is the long one.",
       "Natural voice: the voice itself");
  if (!voiceFiles()) return false;
  parts_.ui(lines::now(""));
  if (parts_.startVoice && parts_.startVoice()) {
    parts_.say(
        "And this is my natural voice. Much better, isn't it? Say next voice to try the "
        "others, or audition the voices to hear them all.");
    return true;
  }
  parts_.log("the natural voice did not install");
  parts_.say(
      "Everything downloaded, but the voice wouldn't start. Quit Orvo and open it again, and "
      "it should be there.");
  return false;
}

bool VoiceInstaller::roomToInstall() {
  const std::filesystem::path& folder = parts_.folder;
  // A folder that cannot be made has no room either.
  const bool made = files::makeFolders(folder);
  const auto free = parts_.freeSpace ? parts_.freeSpace() : files::freeSpace(folder);
  if (!made || (free && *free < kSpaceNeeded)) {
    parts_.say(
        "There isn't enough free space. The natural voice needs about one and a half "
        "gigabytes while it installs.");
    return false;
  }
  if (!placeScript()) {
    parts_.say(
        "A file that should be inside the app is missing. Downloading Orvo again should fix it.");
    return false;
  }
  return true;
}

bool VoiceInstaller::setupTool() {
  const auto uvFolder = parts_.folder / "uv";
  if (std::filesystem::exists(uvFolder / "uv")) return true;
  const auto archive = parts_.folder / "uv.tar.gz";
  std::error_code error;
  std::filesystem::remove(archive, error);
  std::string why;
  if (!download(parts_.downloads.uv, archive, 300, why)) {
    parts_.log("voice install: uv: " + why);
    parts_.say(
        "I couldn't download the setup tool. Check the internet connection and ask me again.");
    return false;
  }
  files::makeFolders(uvFolder);
  ToolRun unpack =
      runTool(parts_.runtime, "/usr/bin/tar",
              {"-xzf", archive.string(), "-C", uvFolder.string(), "--strip-components=1"}, "", 120);
  std::filesystem::remove(archive, error);
  if (!unpack.ok || !std::filesystem::exists(uvFolder / "uv")) {
    parts_.log("voice install: unpacking uv: " + lastLine(unpack.out));
    parts_.say("The setup tool wouldn't unpack.");
    return false;
  }
  return true;
}

bool VoiceInstaller::speechEngine() {
  const std::filesystem::path& folder = parts_.folder;
  const std::string uv = (folder / "uv" / "uv").string();
  const std::string pythonHome = "UV_PYTHON_INSTALL_DIR=" + (folder / "python").string();
  const auto python = folder / ".venv" / "bin" / "python";
  if (!std::filesystem::exists(python)) {
    ToolRun venv =
        runTool(parts_.runtime, "/usr/bin/env",
                {pythonHome, uv, "venv", (folder / ".venv").string(), "--python", "3.12"}, "", 600,
                {}, true);
    if (!venv.ok) {
      parts_.say("Python wouldn't set up: " + lastLine(venv.out));
      return false;
    }
  }
  ToolRun engine = runTool(
      parts_.runtime, "/usr/bin/env",
      {pythonHome, uv, "pip", "install", "--python", python.string(), "kokoro-onnx>=0.4,<1"}, "",
      1200, {}, true);
  if (engine.ok) {
    engine = runTool(parts_.runtime, python.string(),
                     {"-c", "import kokoro_onnx, onnxruntime, numpy"}, "", 120, {}, true);
  }
  if (!engine.ok) {
    parts_.say("The speech engine wouldn't install: " + lastLine(engine.out));
    return false;
  }
  return true;
}

bool VoiceInstaller::voiceFiles() {
  for (const std::string& path : parts_.downloads.models) {
    const auto name = path.substr(path.find_last_of('/') + 1);
    const auto file = parts_.folder / name;
    // Kept under another name until whole, so a broken-off file is never taken for the model.
    const auto partial = parts_.folder / (name + ".part");
    const auto expected = remoteSize(parts_.downloads.base + path);
    if (std::filesystem::exists(file) && expected && sizeOf(file) == *expected) continue;
    const bool whole = expected && sizeOf(partial) == *expected;  // renamed last time? not yet
    std::string why;
    if (!whole && !download(path, partial, 3600, why)) {
      parts_.log("voice install: " + name + ": " + why);
      parts_.say(sizeOf(partial) == 0 ? "I couldn't download the voices. Ask me again and I'll "
                                        "carry on from where it stopped."
                                      : "The download stopped part way. Ask me again and I'll "
                                        "carry on from where it stopped.");
      return false;
    }
    std::error_code error;
    if (!expected || sizeOf(partial) != *expected) {
      std::filesystem::remove(partial, error);
      parts_.say("The voice file came down incomplete. Ask me again to retry.");
      return false;
    }
    std::filesystem::rename(partial, file, error);
    if (error) {
      parts_.say("The voice file came down incomplete. Ask me again to retry.");
      return false;
    }
  }
  return true;
}

}  // namespace orvo
