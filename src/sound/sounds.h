#pragma once
// The system's own synthesiser: the General MIDI bank through a SoundGraph,
// playing on the system's sound output. It survives changes of the output by
// rebuilding itself (at most once a second, on the serial queue
// "band.sound.fix", the old graph stopped only after the new one runs).
// Offline renders serve the sound check and the band arrangement's checks.
//
// Threads: play() and level changes from any thread; swapping the graph is
// guarded by swapLock, which play() takes only to read.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/audio-output.h"
#include "platform/runtime.h"
#include "platform/store.h"
#include "sound/ev.h"
#include "sound/sampler.h"
#include "sound/sound-graph.h"

namespace orvo {

class Sounds final : public Sampler {
 public:
  struct Parts {
    Runtime& runtime;
    Store& store;  // "band-level.txt"
    std::function<void(const std::string&)> log;
    // The banks to try, best first (bankCandidates()): one that cannot be
    // loaded gives way to the next.
    std::vector<std::string> banks;
    OpenAudioOutput openOutput = [](AudioRender render, int rate) {
      return openSystemAudioOutput(std::move(render), rate);
    };
    // One short sentence for the player (a chosen bank that could not be loaded).
    std::function<void(const std::string&)> tell = {};
  };

  explicit Sounds(Parts parts);
  ~Sounds() override;

  // ORVO_SOUNDFONT when set, then FluidR3_GM and TimGM6mb where installed.
  static std::vector<std::string> bankCandidates();
  // The first candidate that loads.
  static std::optional<std::string> findBank();
  // The band level in dB that "band-level.txt" holds, within -12..12; 0 for a
  // missing, empty or unreadable file.
  static double bandLevelFrom(const std::optional<std::string>& fileText);

  // Builds the graph and opens the output, on the fix queue, and waits for
  // it; without a bank or an output the system stays silent here and
  // everything goes out as MIDI.
  void start();
  bool ready() override;
  void play(const std::uint8_t* bytes, std::size_t size) override;

  // The band level in dB, -12 to +12; setting it returns the level now in force,
  // and `kept` hears whether "band-level.txt" kept it.
  double level();
  static double levelWithin(double db) { return std::clamp(db, -12.0, 12.0); }
  double setLevel(double db, Store::Kept kept = nullptr);
  bool classic();
  void setClassic(bool classic);
  // Everything the built-in sound plays turned down by kDuckDB (or back up),
  // eased over a few milliseconds so it never clicks; any thread.
  static constexpr double kDuckDB = 10.0;
  void duck(bool on);
  bool ducked() const { return duckGain_.load() < 1.0f; }

  // Rebuilds the graph on the fix queue, at most once a second unless `force`.
  void revive(const std::string& reason, bool wait, bool force = false);
  int restarts();

  // What left the graph (after the soft limit), and what the mix was before it.
  struct MixReport {
    double peak = 0;            // loudest sample, 1.0 is full scale
    double clippedPercent = 0;  // share of the time any channel went over full scale
    double sumPeak = 0;         // the loudest sample of the mix before the limit
    double sumOverPercent = 0;  // share of the time the mix before the limit went over full scale
    double limitedPercent = 0;  // share of the time the limit bent the sound
  };
  struct Rendered {
    std::vector<float> left, right;
    MixReport report;
    std::array<float, 16> channelPeaks{};
  };
  // Renders the events offline with this system's sound (no device); nothing without a bank.
  std::optional<Rendered> mix(const std::vector<Ev>& events, double seconds);
  static std::optional<Rendered> render(const std::string& bank, bool classic, double bandDB,
                                        const std::vector<Ev>& events, double seconds);
  // The same render measured block by block as it goes, keeping no audio (at
  // the graph's measuring rate: see SoundGraph::Use). A long piece is measured
  // in `stretches` side by side (0: one per core, up to four): see
  // measuring-stretches.h.
  static std::optional<MixReport> measure(const std::string& bank, bool classic, double bandDB,
                                          const std::vector<Ev>& events, double seconds,
                                          int stretches = 0);
  // Mean (RMS) and peak level of a render, in dB of full scale.
  static std::pair<double, double> levels(const std::vector<float>& samples);

  // How one instrument sounds: a note played alone on a channel.
  struct Probe {
    double attackSeconds = 0;  // to 90 % of its peak
    double peakDB = -180;
    double brightness =
        0;  // 0 dull to 1 bright: the share of energy in the sample-to-sample changes
  };
  std::optional<Probe> probe(int channel, int note, int velocity = 100);

 private:
  bool buildAndRun(std::unique_ptr<SoundGraph>& graph, std::unique_ptr<AudioOutput>& output);
  // The bank in use: the first candidate that loads, chosen once.
  std::optional<std::string> bank();

  Parts parts_;
  SerialQueue& fixQueue_;
  std::mutex swapLock_;
  std::shared_ptr<SoundGraph> graph_;
  std::unique_ptr<AudioOutput> output_;
  bool ready_ = false;
  std::atomic<double> gainDB_{0};
  std::atomic<float> duckGain_{1.0f};  // what the output eases towards
  std::atomic<bool> classic_{false};
  double lastFix_ = -100;  // touched on the fix queue only
  int restarts_ = 0;
  std::atomic<bool> revivePending_{false};
  std::once_flag bankChosen_;
  std::optional<std::string> bank_;
  std::mutex firstGraphLock_;
  std::unique_ptr<SoundGraph> firstGraph_;  // built while choosing the bank, not yet played
};

}  // namespace orvo
