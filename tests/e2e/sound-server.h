#pragma once
// A PulseAudio server of the test's own, with one null sink ("rec") whose
// monitor records what the machine plays, in a runtime folder of its own (so
// the speech-dispatcher our binary starts is the test's own too). Where the
// machine cannot run one, skipReason() says why and the test skips.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

namespace orvo::testing {

// Starts a program with extra environment; its output goes to /dev/null.
inline pid_t spawn(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    FILE* null = std::fopen("/dev/null", "w");
    if (null) {
      ::dup2(fileno(null), STDOUT_FILENO);
      ::dup2(fileno(null), STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

inline void endProcess(pid_t& pid, int signal = SIGTERM) {
  if (pid <= 0) return;
  ::kill(pid, signal);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

// Processes whose command line holds `word`, or whose parent is `parent`.
inline std::vector<pid_t> processes(
    const std::function<bool(const std::string& cmdline, pid_t parent, pid_t pid)>& match) {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = files::readFile(entry.path() / "cmdline").value_or("");
    for (auto& c : cmdline) c = c == '\0' ? ' ' : c;
    std::string stat = files::readFile(entry.path() / "stat").value_or("");
    pid_t parent = 0;
    if (auto close = stat.rfind(')'); close != std::string::npos) {
      std::sscanf(stat.c_str() + close + 2, "%*c %d", &parent);
    }
    if (match(cmdline, parent, std::stoi(name))) found.push_back(std::stoi(name));
  }
  return found;
}

// Waits until the binary's log (log.txt in its data folder) has the words;
// false when they did not come within `seconds`.
inline bool logSays(const std::filesystem::path& log, const std::string& words,
                    double seconds = 10.0) {
  for (int waited = 0; waited < seconds * 20; ++waited) {
    if (files::readFile(log).value_or("").find(words) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class SoundServer {
 public:
  explicit SoundServer(const std::filesystem::path& folder)
      : run_(folder / "run"), home_(folder / "home") {
    std::filesystem::create_directories(run_);
    std::filesystem::create_directories(home_);
    std::filesystem::permissions(run_, std::filesystem::perms::owner_all);
    if (std::system("command -v pulseaudio >/dev/null && command -v parecord >/dev/null") != 0) {
      reason_ = "pulseaudio or parecord is not installed";
    }
  }
  ~SoundServer() {
    stop();
    // The speech service our binary started for this folder, and its modules.
    for (pid_t module : speechModules()) ::kill(module, SIGKILL);
    for (pid_t server : speechServers()) ::kill(server, SIGKILL);
  }

  const std::string& skipReason() const { return reason_; }

  // What the binary needs to find this server (and nothing of the machine's own).
  std::map<std::string, std::string> env() const {
    return {{"XDG_RUNTIME_DIR", run_.string()}, {"HOME", home_.string()}};
  }

  // One more null sink, from the next start on, with the name a person knows it by.
  void addSink(const std::string& name, const std::string& description) {
    sinkNames_.push_back(name);
    sinks_.push_back("module-null-sink sink_name=" + name +
                     " sink_properties=\"device.description='" + description + "'\"");
  }

  // Brings a sink while the server runs, as when headphones are plugged in.
  void plugIn(const std::string& name, const std::string& description) {
    pid_t loading = spawn({"pactl", "load-module", "module-null-sink", "sink_name=" + name,
                           "sink_properties=\"device.description='" + description + "'\""},
                          env());
    ::waitpid(loading, nullptr, 0);
  }

  // Takes a sink away while the server runs, as when headphones are unplugged.
  void removeSink(const std::string& name) {
    pid_t shell = spawn({"sh", "-c",
                         "pactl list short modules | awk '/sink_name=" + name +
                             "( |$)/ {print $1}' | xargs -r pactl unload-module"},
                        env());
    ::waitpid(shell, nullptr, 0);
  }

  bool start() {
    if (!reason_.empty()) return false;
    std::vector<std::string> args = {"pulseaudio",
                                     "-n",
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--disallow-exit",
                                     "--use-pid-file=no",
                                     "-L",
                                     "module-native-protocol-unix",
                                     "-L",
                                     "module-null-sink sink_name=rec"};
    for (const std::string& sink : sinks_) args.insert(args.end(), {"-L", sink});
    pid_ = spawn(args, env());
    for (int i = 0; i < 100; ++i) {
      if (std::filesystem::exists(run_ / "pulse/native")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    reason_ = "pulseaudio did not start here";
    endProcess(pid_, SIGKILL);
    return false;
  }

  void stop() {
    for (auto& [sink, recorder] : recorders_) endProcess(recorder, SIGINT);
    endProcess(pid_);
    std::error_code ignored;
    std::filesystem::remove(run_ / "pulse/native", ignored);
  }

  // speech-dispatcher's modules (sd_espeak-ng ...) started for this folder.
  std::vector<pid_t> speechModules() const {
    std::string mine = "XDG_RUNTIME_DIR=" + run_.string();
    // Modules outlive their parent's fork and belong to init: their own
    // environment tells whose they are.
    return processes([&](const std::string& cmdline, pid_t, pid_t pid) {
      if (cmdline.find("sd_") == std::string::npos) return false;
      std::string environ =
          files::readFile("/proc/" + std::to_string(pid) + "/environ").value_or("");
      environ.push_back('\0');
      return environ.find(mine + '\0') != std::string::npos;
    });
  }

  std::vector<pid_t> speechServers() const {
    return processes([&](const std::string& cmdline, pid_t, pid_t) {
      return cmdline.find("speech-dispatcher ") != std::string::npos &&
             cmdline.find(run_.string()) != std::string::npos;
    });
  }

  // Records every sink ("rec" and those added) from now until stopRecording().
  void record() {
    std::vector<std::string> sinks = sinkNames_;
    sinks.insert(sinks.begin(), "rec");
    for (const std::string& sink : sinks) {
      pid_t& recorder = recorders_[sink];
      endProcess(recorder, SIGINT);
      const auto file = recording(sink);
      std::filesystem::remove(file);
      recorder = spawn({"parecord", "-d", sink + ".monitor", "--file-format=wav", "--channels=1",
                        "--rate=" + std::to_string(rate), "--format=s16le", file.string()},
                       env());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }

  // The samples recorded from a sink, -1 to 1.
  std::vector<float> stopRecording(const std::string& sink = "rec") {
    for (auto& [each, recorder] : recorders_) endProcess(recorder, SIGINT);
    std::string wav = files::readFile(recording(sink)).value_or("");
    std::vector<float> samples;
    auto data = wav.find("data");
    if (data == std::string::npos) return samples;
    for (std::size_t i = data + 8; i + 1 < wav.size(); i += 2) {
      auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[i]) |
                                             static_cast<std::uint8_t>(wav[i + 1]) << 8);
      samples.push_back(value / 32768.0f);
    }
    return samples;
  }

  static constexpr std::size_t rate = 16000;
  static constexpr std::size_t frame = 320;  // 20 ms

  // The 20 ms frame starting at `at` is sound: above -45 dBFS.
  static bool loud(const std::vector<float>& samples, std::size_t at) {
    double energy = 0;
    for (std::size_t i = at; i < at + frame; ++i) energy += samples[i] * samples[i];
    return 10.0 * std::log10(energy / frame + 1e-12) > -45.0;
  }

  // How much of the recording was sound, in seconds.
  static double secondsHeard(const std::vector<float>& samples) {
    int frames = 0;
    for (std::size_t at = 0; at + frame <= samples.size(); at += frame) frames += loud(samples, at);
    return frames * 0.02;
  }

  // Seconds from `from` to the first sound after it; nothing when all is silent.
  static std::optional<double> firstHeard(const std::vector<float>& samples, double from) {
    for (auto at = static_cast<std::size_t>(from * rate); at + frame <= samples.size();
         at += frame) {
      if (loud(samples, at)) return static_cast<double>(at) / rate - from;
    }
    return std::nullopt;
  }

 private:
  std::filesystem::path recording(const std::string& sink) const {
    return run_.parent_path() / (sink + "-recording.wav");
  }

  std::filesystem::path run_;
  std::filesystem::path home_;
  std::string reason_;
  std::vector<std::string> sinks_;      // the modules of the sinks beside "rec"
  std::vector<std::string> sinkNames_;  // and their names
  std::map<std::string, pid_t> recorders_;
  pid_t pid_ = -1;
};

}  // namespace orvo::testing
