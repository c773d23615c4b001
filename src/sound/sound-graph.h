#pragma once
// One built sound graph: a FluidSynth instance rendering every MIDI channel
// to its own buffer, and our mixer giving each part its volume, gain and pan
// and sending the hall parts through the hall bus (equaliser, large hall) or,
// in the classic style, the room bus (medium hall).
//
// send() from any thread (FluidSynth's calls are thread-safe); render() on
// one thread at a time (the audio driver's, or an offline caller), and it
// never allocates.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/mix-effects.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace orvo {

struct Part {
  int channel;
  int program;  // General MIDI, 0-based
  bool drums;
  float volume;  // 0 to 1
  bool hall;
  float pan;  // -1 left to +1 right
};

namespace band {

// The instrument of each channel.
const std::vector<Part>& parts();
// The volume of a channel in the classic style, where it differs.
float classicVolume(int channel, float normal);

constexpr double pianoGainDB = 9.0;
constexpr double classicPianoDB = 8.0;
constexpr double classicBandDB = -2.0;

// The cues must be heard over a sentence: the chime's music box (channel 4)
// is lifted, and the knock (note 77 on the drums) sounds on a channel of its
// own inside the graph, so the band's drums keep their level.
constexpr double chimeCueDB = 16.5;
constexpr double knockCueDB = 15.0;
constexpr int knockNote = 77;  // the General MIDI low wood block
constexpr int knockVelocity = 66;
constexpr int knockChannel = 13;  // inside the graph only; MIDI out still has it on 9

// The gain in dB of a channel's part: the piano's own, or the band level.
double gainDB(int channel, bool classic, double bandLevelDB);

// What lifts a bank's whole mix so a full band peaks near -3 dBFS: banks are
// recorded at very different levels.
double bankTrimDB(const std::string& bank);

}  // namespace band

class SoundGraph {
 public:
  static constexpr int sampleRate = 44100;
  static constexpr int measuringRate = 22050;
  static constexpr int maxBlock = 1024;

  // How a graph is to be played: for listening (one thread, the bank's best
  // interpolation, at sampleRate), or for measuring a long piece offline,
  // where only levels are read: with linear interpolation, at measuringRate
  // (one graph per stretch of the piece, side by side: see Sounds::measure).
  // Half the rate is half the work: for a 12-minute piece with its band, with
  // both Debian banks, the mix peak came out within 0.03 of the full rate's,
  // and the clipped and limited shares within 0.02 points.
  enum class Use { listening, measuring };

  // Nothing when the bank cannot be loaded, or is not whole.
  static std::unique_ptr<SoundGraph> build(const std::string& bank, bool classic, double bandDB,
                                           Use use = Use::listening);
  // A SoundFont whose RIFF sizes agree with the file: a truncated or garbage
  // file is refused before FluidSynth reads it.
  static bool bankLooksWhole(const std::string& path);
  ~SoundGraph();

  void send(const std::uint8_t* bytes, std::size_t size);
  void render(float* left, float* right, int frames);
  // Voices sounding now; none means the graph gives silence until the next event.
  int activeVoices() const;
  // FluidSynth renders in blocks of this many frames from its start, and an
  // event sent part-way through one takes effect at the next: two renders
  // place their notes alike only if they started a whole number of blocks apart.
  int eventGrain() const;

  void setBandLevel(double bandDB);
  bool classic() const { return classic_; }
  // Frames a second: sampleRate, or measuringRate for a measuring graph.
  int rate() const { return rate_; }
  // The linear gain (volume and dB together) each channel is mixed with.
  float channelGain(int channel) const { return gains_[static_cast<std::size_t>(channel)]; }
  // The loudest sample of each channel's part since the last call (for checks).
  std::array<float, 16> takeChannelPeaks();

  // How loud the mix got before the soft limit, since the last call: the
  // loudest sample, and how many frames went over full scale and how many the
  // limit bent. Read on the rendering thread (offline renders).
  struct SumMeter {
    float peak = 0;
    std::uint64_t over = 0;
    std::uint64_t limited = 0;
  };
  SumMeter takeSumMeter();

 private:
  explicit SoundGraph(int rate);
  void renderBlock(float* left, float* right, int frames);

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  int rate_;
  bool classic_ = false;
  std::array<std::atomic<float>, 16> gains_{};
  std::array<float, 16> panLeft_{}, panRight_{};
  std::array<int, 16> bus_{};      // 0 main, 1 room, 2 hall
  std::array<bool, 3> busUsed_{};  // a bus no part is sent to costs nothing
  std::array<std::atomic<float>, 16> peaks_{};
  std::atomic<unsigned> sounded_{0};  // the channels that have had a note, one bit each
  float master_ = 1.0f;               // the bank's trim
  SumMeter sum_;
  std::vector<float> channelBuffers_;  // 16 stereo pairs of maxBlock
  std::vector<float> busBuffers_;      // room and hall, stereo
  Reverb room_;
  Reverb hall_;
  std::array<Biquad, 2> hallShelf_;
  std::array<Biquad, 2> hallHighPass_;
};

}  // namespace orvo
